#!/usr/bin/env bash
# Login screen benchmark: exec to the login page on screen, and the anonymous memory of the
# process tree with the screen up, the client against the floor program (GTK 3 and one web view
# showing the same page), alternating in the same run:
#   bench/login/run.sh [login_bench options, e.g. --runs 11]
# Both load the login page from the loopback demo portal (the client after its update check
# against it), on a private Xvfb display without a window manager, with their website data and
# caches in a private directory that lives for this run.
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree). RUNS sets the
# number of runs of each (default 7). FLOOR_SANDBOX=1/0 turns the floor's web-process sandbox on
# or off; by default it follows the client, which sandboxes its web processes unless the build
# turned that off (CLIENT_WEB_SANDBOX).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
targets=(login_bench login_floor Zorvik_talmar2 demo-portal)
# A build tree configured before this directory existed does not know its targets yet.
cmake --build "$build" --target "${targets[@]}" >/dev/null 2>&1 ||
  { cmake -S "$root" -B "$build" >/dev/null && cmake --build "$build" --target "${targets[@]}" >/dev/null; }
runs=${RUNS:-7}

if [ -z "${FLOOR_SANDBOX:-}" ]; then
  sandbox=$(sed -n 's/^CLIENT_WEB_SANDBOX:[A-Z]*=//p' "$build/CMakeCache.txt")
  case $sandbox in OFF|off|0|FALSE|false|NO|no) FLOOR_SANDBOX=0 ;; *) FLOOR_SANDBOX=1 ;; esac
fi
floor_args=()
[ "$FLOOR_SANDBOX" = 1 ] && floor_args+=(--sandbox)

display=
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "$display" ] || { echo "login bench: no free display" >&2; exit 1; }
work=$(mktemp -d)
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
portal=
cleanup() {
  [ -n "$portal" ] && kill "$portal" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export DISPLAY=$display NO_AT_BRIDGE=1
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { echo "login bench: Xvfb did not start" >&2; exit 1; }

"$build/tools/demoportal/demo-portal" >"$work/portal.log" &
portal=$!
for _ in $(seq 1 100); do grep -qs "^listening on " "$work/portal.log" && break; sleep 0.05; done
base=$(sed -n 's/^listening on //p' "$work/portal.log")
[ -n "$base" ] || { echo "login bench: the demo portal did not start" >&2; exit 1; }
export CLIENT_BASE_URL=$base
mkdir -p "$work/tmp" "$work/data" "$work/cache" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export TMPDIR=$work/tmp XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime

echo "client: $build/app/Zorvik_talmar2 (portal $base)"
echo "floor:  $build/bench/login/login_floor $base/games/talmar2/dlq/ ${floor_args[*]:-}"
"$build/bench/login/login_bench" --runs "$runs" "$@" \
  -- "$build/app/Zorvik_talmar2" \
  -- "$build/bench/login/login_floor" "$base/games/talmar2/dlq/" "${floor_args[@]}"
