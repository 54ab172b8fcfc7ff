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
bench_name=login
source "$(dirname "$0")/../lib.sh"
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

bench_display
bench_portal "$work/portal.log"
base=$portal_base
export CLIENT_BASE_URL=$base
bench_use_home "$work"

echo "client: $build/app/Zorvik_talmar2 (portal $base)"
echo "floor:  $build/bench/login/login_floor $base/games/talmar2/dlq/ ${floor_args[*]:-}"
"$build/bench/login/login_bench" --runs "$runs" "$@" \
  -- "$build/app/Zorvik_talmar2" \
  -- "$build/bench/login/login_floor" "$base/games/talmar2/dlq/" "${floor_args[@]}"
