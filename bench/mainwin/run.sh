#!/usr/bin/env bash
# Main window benchmark, against the floor program of the login benchmark (GTK 3 and one web
# view), in the same run, on a private Xvfb display without a window manager:
#   1. exec -> the first game page on screen in the main window (the demo portal's login page
#      enters the game by itself), against the floor's load of the login page plus its load of
#      the game page laid out where the main window shows it (goal: <= 1.2);
#   2. anonymous memory of the process tree with the main window and three game tabs, against
#      the floor with one game page (goal: <= 2.2);
#   3. CPU time of the client's process tree over 30 s with three game tabs, one selected.
#   bench/mainwin/run.sh        (RUNS sets the runs of step 1, default 5; CPU_SECONDS step 3's)
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
# The further game addresses reach the running client over a session bus of this run's own.
[ -n "${MAINWIN_BENCH_BUS:-}" ] || MAINWIN_BENCH_BUS=1 exec dbus-run-session -- bash "$0" "$@"
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
targets=(login_bench login_floor Zorvik_talmar2 demo-portal)
cmake --build "$build" --target "${targets[@]}" >/dev/null
runs=${RUNS:-5}
cpu_seconds=${CPU_SECONDS:-30}
floor=$build/bench/login/login_floor
client=$build/app/Zorvik_talmar2

display=
for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "$display" ] || { echo "mainwin bench: no free display" >&2; exit 1; }
work=$(mktemp -d)
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
portal=
running=()
cleanup() {
  for p in "${running[@]}"; do pkill -KILL -P "$p" 2>/dev/null || true; kill -TERM "$p" 2>/dev/null || true; done
  [ -n "$portal" ] && kill "$portal" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export DISPLAY=$display NO_AT_BRIDGE=1
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done

"$build/tools/demoportal/demo-portal" --auto-login >"$work/portal.log" &
portal=$!
for _ in $(seq 1 100); do grep -qs "^listening on " "$work/portal.log" && break; sleep 0.05; done
base=$(sed -n 's/^listening on //p' "$work/portal.log")
export CLIENT_BASE_URL=$base
mkdir -p "$work/tmp" "$work/data" "$work/cache" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export TMPDIR=$work/tmp XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
game=$base/games/talmar2/play/1
# The main window covers the screen; its page shows at (2, 30), 1276 x 768.
floor_game=("$floor" "$game" --size 1280x800 --view 2,30,1276,768)

# The game page's colour on row 400 (a vertical gradient), read from the floor's picture.
"${floor_game[@]}" >/dev/null 2>&1 &
running+=($!)
sleep 3
import -window root "$work/shot.png"
kill "${running[-1]}"; wait "${running[-1]}" 2>/dev/null || true
color=$(convert "$work/shot.png" -format '%[hex:p{400,400}]' info: | tr 'A-F' 'a-f' | cut -c1-6)
probes=(--probe 400,400 --probe 700,400 --probe 1000,400)

echo "== 1. exec -> game page on screen (#$color on row 400)"
"$build/bench/login/login_bench" --runs "$runs" --size 1280x800 "${probes[@]}" --color "$color" \
  -- "$client" -- "${floor_game[@]}" | tee "$work/game.txt"
echo "== the floor's login page (from a portal whose login page waits for the user)"
"$build/tools/demoportal/demo-portal" >"$work/portal2.log" &
running+=($!)
for _ in $(seq 1 100); do grep -qs "^listening on " "$work/portal2.log" && break; sleep 0.05; done
base2=$(sed -n 's/^listening on //p' "$work/portal2.log")
"$build/bench/login/login_bench" --runs "$runs" -- "$floor" "$base2/games/talmar2/dlq/" \
  -- "$floor" "$base2/games/talmar2/dlq/" | tee "$work/login.txt"
client_ms=$(awk '/^  client visible/{print $3}' "$work/game.txt")
floor_game_ms=$(awk '/^  floor +visible/{print $3}' "$work/game.txt")
floor_login_ms=$(awk '/^  floor +visible/{print $3}' "$work/login.txt")
echo "time: client $client_ms ms; floor login page $floor_login_ms ms + game page $floor_game_ms ms"
awk -v c="$client_ms" -v a="$floor_login_ms" -v b="$floor_game_ms" \
  'BEGIN{printf "ratio client/(floor login + floor game): %.2f (goal <= 1.2)\n", c / (a + b)}'

# Anonymous memory and CPU ticks of a process tree.
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
ticks() { local s=0; for p in $(tree "$1"); do
  v=$(awk '{print $14 + $15}' /proc/$p/stat 2>/dev/null || echo 0); s=$((s + ${v:-0})); done; echo $s; }

echo "== 2. memory with three game tabs, 3. CPU over $cpu_seconds s"
"$client" >/dev/null 2>&1 &
running+=($!)
pid=${running[-1]}
# The main window (the login window has the same title, but not the screen's size).
main_up() {
  for id in $(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null); do
    [ "$(xwininfo -id "$id" | awk '/Width:/{print $2}')" = 1280 ] && return 0
  done
  return 1
}
for _ in $(seq 1 300); do main_up && break; sleep 0.1; done
"$client" --open "$base/games/talmar2/play/2" && "$client" --open "$base/games/talmar2/play/3" ||
  echo "mainwin bench: the running client took no further address" >&2
sleep 5
client_kb=$(anon_kb "$pid")
t0=$(ticks "$pid")
sleep "$cpu_seconds"
t1=$(ticks "$pid")
hz=$(getconf CLK_TCK)
"${floor_game[@]}" >/dev/null 2>&1 &
running+=($!)
sleep 5
floor_kb=$(anon_kb "${running[-1]}")
awk -v c="$client_kb" -v f="$floor_kb" \
  'BEGIN{printf "anonymous: client with three tabs %.1f MiB, floor with one page %.1f MiB, ratio %.2f (goal <= 2.2)\n", c/1024, f/1024, c/f}'
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$cpu_seconds" \
  'BEGIN{printf "CPU: %.2f s over %d s (%.1f %% of one core) with three tabs, one selected\n", d/hz, s, 100*d/hz/s}'
