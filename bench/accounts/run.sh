#!/usr/bin/env bash
# Accounts side by side: anonymous memory of the process tree (client and its web processes)
# with two tabs of the same game page, in two website-data sessions against one session, each
# program on its own in the same run, on a private Xvfb display without a window manager.
#   bench/accounts/run.sh       (RUNS: runs of each, default 3)
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" --target accounts_bench demo-portal >/dev/null
runs=${RUNS:-3}
bench=$build/bench/accounts/accounts_bench

display=
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "$display" ] || { echo "accounts bench: no free display" >&2; exit 1; }
work=$(mktemp -d)
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
portal=
client=
cleanup() {
  [ -n "$client" ] && { pkill -KILL -P "$client" 2>/dev/null || true; kill -KILL "$client" 2>/dev/null || true; }
  [ -n "$portal" ] && kill "$portal" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export DISPLAY=$display NO_AT_BRIDGE=1
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
"$build/tools/demoportal/demo-portal" >"$work/portal.log" &
portal=$!
for _ in $(seq 1 100); do grep -qs "^listening on " "$work/portal.log" && break; sleep 0.05; done
base=$(sed -n 's/^listening on //p' "$work/portal.log")
export CLIENT_BASE_URL=$base
game=$base/games/talmar2/play/1

tree() {
  local all=($1) i=0
  while [ $i -lt ${#all[@]} ]; do
    for c in $(cat /proc/${all[$i]}/task/*/children 2>/dev/null); do all+=($c); done
    i=$((i + 1))
  done
  echo "${all[@]}"
}
anon_kb() { local s=0; for p in $(tree "$1"); do
  v=$(awk '/^Anonymous:/{print $2}' /proc/$p/smaps_rollup 2>/dev/null || echo 0); s=$((s + ${v:-0})); done; echo $s; }

measure() {  # mode -> anonymous KiB of a run, on a fresh data directory
  local home=$work/run-$1-$2
  mkdir -p "$home/data" "$home/cache" "$home/config" "$home/runtime" "$home/tmp"
  chmod 700 "$home/runtime"
  XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache XDG_CONFIG_HOME=$home/config \
    XDG_RUNTIME_DIR=$home/runtime TMPDIR=$home/tmp "$bench" "$1" "$game" >"$home/out" 2>/dev/null &
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
