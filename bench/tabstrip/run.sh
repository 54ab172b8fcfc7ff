#!/usr/bin/env bash
# Tab strip drawing benchmark on a private Xvfb display (no window manager needed):
#   bench/tabstrip/run.sh [tabstrip_bench options, e.g. --rounds 31 --tabs 1,10,50,100]
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
bench_name=tabstrip
source "$(dirname "$0")/../lib.sh"
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# A build tree configured before this directory existed does not know the target yet.
cmake --build "$build" --target tabstrip_bench >/dev/null 2>&1 ||
  { cmake -S "$root" -B "$build" >/dev/null && cmake --build "$build" --target tabstrip_bench >/dev/null; }

bench_display
export TMPDIR=$work XDG_CACHE_HOME=$work

timeout 600 "$build/bench/tabstrip/tabstrip_bench" "$@"
