#!/usr/bin/env bash
# The moment the login screen appears, under a compositor: from the start until the page is on
# the screen, the page's box (where the splash was) never shows black: the splash, the login
# art's panel or the page, nothing in between. Read from the screen every few milliseconds,
# over LOGIN_PAINT_RUNS starts (5 by default).
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

xcompmgr >/dev/null 2>&1 &
pids+=($!)
start_portal
# The compositor's own start, and below the windows of an ended client going, show black for a
# moment: each watch begins once the screen has settled.
sleep 1
read -r sw sh < <(xdpyinfo | awk '/dimensions:/{split($2, a, "x"); print a[1], a[2]}')
# The login screen is centred on the screen, the page's box at (415, 179) in it.
bx=$(((sw - 1237) / 2)) by=$(((sh - 696) / 2))
runs=${LOGIN_PAINT_RUNS:-5}
black=0
for i in $(seq 1 "$runs"); do
  "$X_HELPER" watch-black $((bx + 415)) $((by + 179)) 732 425 7 >"$work/watch.txt" &
  watcher=$!
  sleep 0.3
  CLIENT_BASE_URL=$base "$CLIENT_EXE" &
  client=$!
  pids+=($client)
  bg=$(login_screen "$client") || fail "run $i: no login screen"
  read -r x y _ _ < <(geometry "$bg")
  [ "$x" = "$bx" ] && [ "$y" = "$by" ] || fail "run $i: the login screen is at $x,$y, not $bx,$by"
  wait "$watcher"
  read -r _ reads share first <"$work/watch.txt"
  if [ "$reads" -gt 0 ]; then
    black=$((black + 1))
    echo "run $i: the page's box was black in $reads reads (up to $share of it, first $first ms after the watch began)"
  fi
  kill "$client" 2>/dev/null || true
  wait "$client" 2>/dev/null || true
  sleep 1
done
[ "$black" -eq 0 ] || fail "the page's box showed black in $black of $runs starts"
echo "login screen's first paint: ok ($runs starts)"
