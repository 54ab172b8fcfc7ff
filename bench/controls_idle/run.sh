#!/usr/bin/env bash
# Builds and runs the idle benchmark of the skinned controls on a private desktop:
#   bench/controls_idle/run.sh [--seconds N]
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target controls_idle_bench
exe="$build/bench/controls_idle/controls_idle_bench"
"$root/tools/with-desktop.sh" "$exe" "$@"
