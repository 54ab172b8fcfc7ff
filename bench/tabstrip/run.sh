#!/usr/bin/env bash
# Tab strip drawing benchmark on a private Xvfb display (no window manager needed):
#   bench/tabstrip/run.sh [tabstrip_bench options, e.g. --rounds 31 --tabs 1,10,50,100]
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# A build tree configured before this directory existed does not know the target yet.
cmake --build "$build" --target tabstrip_bench >/dev/null 2>&1 ||
  { cmake -S "$root" -B "$build" >/dev/null && cmake --build "$build" --target tabstrip_bench >/dev/null; }

display=
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "$display" ] || { echo "tabstrip bench: no free display" >&2; exit 1; }
work=$(mktemp -d)
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export DISPLAY=$display NO_AT_BRIDGE=1 TMPDIR=$work XDG_CACHE_HOME=$work
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { echo "tabstrip bench: Xvfb did not start" >&2; exit 1; }

timeout 600 "$build/bench/tabstrip/tabstrip_bench" "$@"
