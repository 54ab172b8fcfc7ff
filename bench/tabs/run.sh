#!/usr/bin/env bash
# Live game tabs: a real canvas engine's game (kontra, from the npm registry, fetched by
# engine.sh) in every tab, the client against a plain GTK notebook of WebKit views (tabs_peer),
# in the same run, on a private Xvfb display without a window manager:
#   1. CPU of the whole process tree over CPU_SECONDS with three live tabs (one selected)
#      against one live tab (goal: <= 1.1);
#   2. the client process's own CPU with one live tab against the peer's host process with one
#      view (goal: <= 1.1);
#   3. anonymous memory of the tree with three live tabs against the peer with three views
#      (goal: <= 1.0), and per process (client or host, web processes, network process);
#   4. the frames a second the unselected tabs draw (the pages report them);
#   5. opening tabs one after the other up to the eighth: from the address handed over
#      (`--open`, a line to the peer) to the new page's first frame (goal at the eighth tab:
#      <= 1.1 x the peer's);
#   6. switching to a tab whose game ran in the background: from the click on the tab (a line
#      "select N" to the peer) to that page's first frame.
#   bench/tabs/run.sh          (CPU_SECONDS, default 20; SETTLE_SECONDS after loading, 8)
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
# The further game addresses reach the running client over a session bus of this run's own.
[ -n "${TABS_BENCH_BUS:-}" ] || TABS_BENCH_BUS=1 exec dbus-run-session -- bash "$0" "$@"
bench_name=tabs
source "$(dirname "$0")/../lib.sh"
cmake --build "$build" --target tabs_peer Zorvik_talmar2 demo-portal >/dev/null
live=$(bash "$root/bench/tabs/engine.sh" "$build/bench/tabs/live")
cpu_seconds=${CPU_SECONDS:-20}
settle=${SETTLE_SECONDS:-8}
peer=$build/bench/tabs/tabs_peer
client=$build/app/Zorvik_talmar2
hz=$(getconf CLK_TCK)

running=()
bench_on_exit() {
  for p in "${running[@]}"; do pkill -KILL -P "$p" 2>/dev/null || true; kill -KILL "$p" 2>/dev/null || true; done
}
bench_display

bench_portal "$work/portal.log" --auto-login --live "$live"
base=$portal_base
export CLIENT_BASE_URL=$base
bench_use_home "$work"
game=$base/games/talmar2/play

# Per kind of process: "kind count KiB", kinds host (the root), web, network, other.
memory_table() {
  local root=$1
  for p in $(tree "$root"); do
    local comm kind
    comm=$(cat /proc/$p/comm 2>/dev/null || echo gone)
    case "$comm" in
      WebKitWebProces*) kind=web ;;
      WebKitNetworkPr*) kind=network ;;
      *) [ "$p" = "$root" ] && kind=host || kind=other ;;
    esac
    echo "$kind $(anon_of "$p")"
  done | awk '{n[$1]++; s[$1]+=$2} END {for (k in n) print k, n[k], s[k]}' | sort
}
# CPU seconds over cpu_seconds: "tree own", own being the root process alone. The tree is taken
# again at the end, so that processes started meanwhile count.
measure_cpu() {
  local root=$1 t0 o0 t1 o1
  t0=$(ticks_of $(tree "$root")); o0=$(ticks_of "$root")
  sleep "$cpu_seconds"
  t1=$(ticks_of $(tree "$root")); o1=$(ticks_of "$root")
  awk -v t=$((t1 - t0)) -v o=$((o1 - o0)) -v hz="$hz" 'BEGIN{printf "%.2f %.2f\n", t/hz, o/hz}'
}
# Frames a second of each server's page over the portal's reports after line $1.
frame_rates() {
  tail -n +"$1" "$work/portal.log" | sed -n 's|^request: GET /games/talmar2/play/report/\([0-9]*\)/\([0-9]*\)/\([0-9]*\)$|\1 \2 \3|p' |
    awk '{ if (!($1 in f0)) { f0[$1] = $2; k0[$1] = $3; n[$1] = 0 } f1[$1] = $2; k1[$1] = $3; n[$1]++ }
         END { for (s in n) if (n[s] > 1) printf "server %s: %.1f frames/s, %.1f ticks/s\n", s, (f1[s] - f0[s]) / (n[s] - 1), (k1[s] - k0[s]) / (n[s] - 1) }' | sort
}
lines() { wc -l <"$work/portal.log"; }

# The client's standard error, shown when it ends before its time.
alive_or_say() {
  kill -0 "$1" 2>/dev/null && return 0
  wait "$1" 2>/dev/null
  echo "tabs bench: the client ended (status $?) $2; its last lines:" >&2
  tail -n 20 "$work/client.err" >&2
  exit 1
}

echo "== client, one live tab"
"$client" >/dev/null 2>>"$work/client.err" &
running+=($!)
cpid=${running[-1]}
for _ in $(seq 1 300); do main_up && break; sleep 0.1; done
main_up || { echo "tabs bench: the main window did not come up" >&2; exit 1; }
sleep "$settle"
l0=$(lines)
read -r c1_tree c1_own < <(measure_cpu "$cpid")
alive_or_say "$cpid" "while one tab was measured"
echo "CPU over $cpu_seconds s: tree $c1_tree s, client process $c1_own s"
frame_rates "$l0"

echo "== client, three live tabs (the third selected)"
"$client" --open "$game/2" && "$client" --open "$game/3" ||
  { echo "tabs bench: the running client took no further address" >&2; exit 1; }
sleep "$settle"
alive_or_say "$cpid" "after two more tabs opened"
l0=$(lines)
read -r c3_tree c3_own < <(measure_cpu "$cpid")
alive_or_say "$cpid" "while three tabs were measured"
echo "CPU over $cpu_seconds s: tree $c3_tree s, client process $c3_own s"
frame_rates "$l0" | sed 's/$/  (servers 1 and 2 unselected)/'
memory_table "$cpid" | tee "$work/client-mem.txt" | sed 's/^/memory: /'
c3_anon=$(awk '{s += $3} END {print s}' "$work/client-mem.txt")
kill -KILL "$cpid"; pkill -KILL -P "$cpid" 2>/dev/null || true
wait "$cpid" 2>/dev/null || true
sleep 2

echo "== peer, one view"
"$peer" --sandbox "$game/1" >/dev/null 2>&1 &
running+=($!)
ppid_=${running[-1]}
sleep "$settle"
l0=$(lines)
read -r p1_tree p1_own < <(measure_cpu "$ppid_")
echo "CPU over $cpu_seconds s: tree $p1_tree s, host process $p1_own s"
frame_rates "$l0"
kill -KILL "$ppid_"; pkill -KILL -P "$ppid_" 2>/dev/null || true
wait "$ppid_" 2>/dev/null || true
sleep 2

echo "== peer, three views (the third selected)"
"$peer" --sandbox "$game/1" "$game/2" "$game/3" >/dev/null 2>&1 &
running+=($!)
ppid_=${running[-1]}
sleep "$settle"
l0=$(lines)
read -r p3_tree p3_own < <(measure_cpu "$ppid_")
echo "CPU over $cpu_seconds s: tree $p3_tree s, host process $p3_own s"
frame_rates "$l0" | sed 's/$/  (servers 1 and 2 unselected)/'
memory_table "$ppid_" | tee "$work/peer-mem.txt" | sed 's/^/memory: /'
p3_anon=$(awk '{s += $3} END {print s}' "$work/peer-mem.txt")

# Milliseconds from $2 (date +%s%N) to server $1's first frame (or its first frame after being
# shown again, with $4 = shown) after portal log line $3.
first_frame() {
  for _ in $(seq 1 2000); do
    if tail -n +"$3" "$work/portal.log" | grep -q "^request: GET /games/talmar2/play/report/$1/${4:-first}$"; then
      echo $((($(date +%s%N) - $2) / 1000000))
      return
    fi
    sleep 0.01
  done
  echo 20000
}
kill -KILL "$ppid_"; pkill -KILL -P "$ppid_" 2>/dev/null || true
wait "$ppid_" 2>/dev/null || true
sleep 2

echo "== opening tabs 2 to 8, client"
"$client" >/dev/null 2>>"$work/client.err" &
running+=($!)
cpid=${running[-1]}
for _ in $(seq 1 300); do main_up && break; sleep 0.1; done
sleep "$settle"
open_client=()
for n in 2 3 4 5 6 7 8; do
  l0=$(lines); t0=$(date +%s%N)
  "$client" --open "$game/1$n" || echo "tabs bench: the client refused tab $n" >&2
  open_client+=("$(first_frame "1$n" "$t0" "$l0")")
  sleep 1
done
echo "open (ms, tabs 2 to 8): ${open_client[*]}"
# Back to the second tab and on to the fourth with real clicks. The strip lies at (153, 3) of
# the main window, 820 px wide with margins of 10 and 17; eight tabs share what is left, with
# 5 px after each.
switch_client=()
for tab in 1 3; do
  server=1$((tab + 1))
  l0=$(lines); t0=$(date +%s%N)
  width=$(((820 - 10 - 17 - 8 * 5 + 4) / 8))
  xdotool mousemove $((153 + 10 + tab * (width + 5) + 30)) 15 click 1
  switch_client+=("$(first_frame "$server" "$t0" "$l0" shown)")
  sleep 1
done
echo "switch (ms, to tabs 2 and 4): ${switch_client[*]}"
kill -KILL "$cpid"; pkill -KILL -P "$cpid" 2>/dev/null || true
wait "$cpid" 2>/dev/null || true
sleep 2

echo "== opening tabs 2 to 8, peer"
mkfifo "$work/peer.in"
"$peer" --sandbox "$game/1" <"$work/peer.in" >/dev/null 2>&1 &
running+=($!)
ppid_=${running[-1]}
exec 7>"$work/peer.in"
sleep "$settle"
open_peer=()
for n in 2 3 4 5 6 7 8; do
  l0=$(lines); t0=$(date +%s%N)
  echo "$game/2$n" >&7
  open_peer+=("$(first_frame "2$n" "$t0" "$l0")")
  sleep 1
done
echo "open (ms, tabs 2 to 8): ${open_peer[*]}"
switch_peer=()
for tab in 1 3; do
  l0=$(lines); t0=$(date +%s%N)
  echo "select $tab" >&7
  switch_peer+=("$(first_frame "2$((tab + 1))" "$t0" "$l0" shown)")
  sleep 1
done
exec 7>&-
echo "switch (ms, to tabs 2 and 4): ${switch_peer[*]}"

echo "== summary"
awk -v a="$c3_tree" -v b="$c1_tree" -v c="$p3_tree" -v d="$p1_tree" \
  'BEGIN{printf "cpu three tabs/one tab: client %.2f (%s s / %s s), peer %.2f (%s s / %s s) (goal <= 1.1)\n", a/b, a, b, c/d, c, d}'
awk -v a="$c1_own" -v b="$p1_own" \
  'BEGIN{printf "cpu client process/peer host, one live tab: %.2f (%s s / %s s) (goal <= 1.1)\n", a/b, a, b}'
awk -v a="$c3_anon" -v b="$p3_anon" \
  'BEGIN{printf "anonymous memory three tabs, client/peer: %.2f (%.1f MiB / %.1f MiB) (goal <= 1.0)\n", a/b, a/1024, b/1024}'
awk -v a="${open_client[6]}" -v b="${open_peer[6]}" -v c="${open_client[0]}" -v d="${open_peer[0]}" \
  'BEGIN{printf "open to first frame at the eighth tab, client/peer: %.2f (%d ms / %d ms; second tab %d ms / %d ms) (goal <= 1.1)\n", a/b, a, b, c, d}'
echo "switch to a tab that ran in the background, click to its first frame: client ${switch_client[*]} ms, peer ${switch_peer[*]} ms"
join <(sort "$work/client-mem.txt") <(sort "$work/peer-mem.txt") -a1 -a2 -e0 -o 0,1.2,1.3,2.2,2.3 |
  awk '{printf "memory by process: %-8s client %d x %.1f MiB, peer %d x %.1f MiB\n", $1, $2, $3/1024, $4, $5/1024}'
