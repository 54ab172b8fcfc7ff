#!/usr/bin/env bash
# Accounts side by side: anonymous memory of the process tree (client and its web processes)
# with two tabs of the same game page, in two website-data sessions against one session, each
# program on its own in the same run, on a private Xvfb display without a window manager.
#   bench/accounts/run.sh       (RUNS: runs of each, default 3)
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
bench_name=accounts
source "$(dirname "$0")/../lib.sh"
cmake --build "$build" --target accounts_bench demo-portal >/dev/null
runs=${RUNS:-3}
bench=$build/bench/accounts/accounts_bench

client=
bench_on_exit() {
  [ -n "$client" ] && { pkill -KILL -P "$client" 2>/dev/null || true; kill -KILL "$client" 2>/dev/null || true; }
}
bench_display
bench_portal "$work/portal.log"
base=$portal_base
export CLIENT_BASE_URL=$base
game=$base/games/talmar2/play/1

measure() {  # mode -> anonymous KiB of a run, on a fresh data directory
  local home=$work/run-$1-$2
  (bench_use_home "$home" && exec "$bench" "$1" "$game" >"$home/out" 2>/dev/null) &
  client=$!
  for _ in $(seq 1 300); do grep -qs '^ready' "$home/out" && break; sleep 0.1; done
  sleep 2
  anon_kb "$client"
  pkill -KILL -P "$client" 2>/dev/null || true
  kill -KILL "$client" 2>/dev/null || true
  wait "$client" 2>/dev/null || true
  client=
}

sessions=() tabs=()
for r in $(seq 1 "$runs"); do
  sessions+=($(measure sessions "$r"))
  tabs+=($(measure tabs "$r"))
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
s=$(median "${sessions[@]}")
t=$(median "${tabs[@]}")
echo "runs: two sessions ${sessions[*]} KiB; one session ${tabs[*]} KiB"
awk -v s="$s" -v t="$t" 'BEGIN{printf "anonymous memory, two game tabs: two sessions %.1f MiB, one session %.1f MiB, ratio %.2f; a session costs %.1f MiB\n", s/1024, t/1024, s/t, (s-t)/1024}'
