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
bench_name=mainwin
source "$(dirname "$0")/../lib.sh"
targets=(login_bench login_floor Zorvik_talmar2 demo-portal)
cmake --build "$build" --target "${targets[@]}" >/dev/null
runs=${RUNS:-5}
cpu_seconds=${CPU_SECONDS:-30}
floor=$build/bench/login/login_floor
client=$build/app/Zorvik_talmar2

running=()
bench_on_exit() {
  for p in "${running[@]}"; do pkill -KILL -P "$p" 2>/dev/null || true; kill -TERM "$p" 2>/dev/null || true; done
}
bench_display

bench_portal "$work/portal.log" --auto-login
base=$portal_base
export CLIENT_BASE_URL=$base
bench_use_home "$work"
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
bench_portal "$work/portal2.log"
base2=$portal_base
"$build/bench/login/login_bench" --runs "$runs" -- "$floor" "$base2/games/talmar2/dlq/" \
  -- "$floor" "$base2/games/talmar2/dlq/" | tee "$work/login.txt"
client_ms=$(awk '/^  client visible/{print $3}' "$work/game.txt")
floor_game_ms=$(awk '/^  floor +visible/{print $3}' "$work/game.txt")
floor_login_ms=$(awk '/^  floor +visible/{print $3}' "$work/login.txt")
echo "time: client $client_ms ms; floor login page $floor_login_ms ms + game page $floor_game_ms ms"
awk -v c="$client_ms" -v a="$floor_login_ms" -v b="$floor_game_ms" \
  'BEGIN{printf "ratio client/(floor login + floor game): %.2f (goal <= 1.2)\n", c / (a + b)}'

echo "== 2. memory with three game tabs, 3. CPU over $cpu_seconds s"
"$client" >/dev/null 2>&1 &
running+=($!)
pid=${running[-1]}
for _ in $(seq 1 300); do main_up && break; sleep 0.1; done
"$client" --open "$base/games/talmar2/play/2" && "$client" --open "$base/games/talmar2/play/3" ||
  echo "mainwin bench: the running client took no further address" >&2
sleep 5
client_kb=$(anon_kb "$pid")
t0=$(ticks_of $(tree "$pid"))
sleep "$cpu_seconds"
t1=$(ticks_of $(tree "$pid"))
hz=$(getconf CLK_TCK)
"${floor_game[@]}" >/dev/null 2>&1 &
running+=($!)
sleep 5
floor_kb=$(anon_kb "${running[-1]}")
awk -v c="$client_kb" -v f="$floor_kb" \
  'BEGIN{printf "anonymous: client with three tabs %.1f MiB, floor with one page %.1f MiB, ratio %.2f (goal <= 2.2)\n", c/1024, f/1024, c/f}'
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$cpu_seconds" \
  'BEGIN{printf "CPU: %.2f s over %d s (%.1f %% of one core) with three tabs, one selected\n", d/hz, s, 100*d/hz/s}'
