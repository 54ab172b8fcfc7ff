#!/usr/bin/env bash
# From the splash to the game: the login screen replaces the splash once the login page has
# arrived, a click on the page's login button hands the game address to the main window, and
# the main window shows the game page. An empty login page (the portal hangs up) gives the
# connection notice and ends the client.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

start_portal
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
bg=""
for _ in $(seq 1 150); do
  for id in $(xdotool search --onlyvisible --pid "$client" 2>/dev/null); do
    w=$(xwininfo -id "$id" | awk '/Width:/{print $2}')
    [ "$w" = 1237 ] && bg=$id
  done
  [ -n "$bg" ] && break
  sleep 0.1
done
[ -n "$bg" ] || fail "no login screen"
n=$(xdotool search --onlyvisible --pid "$client" 2>/dev/null | wc -l)
[ "$n" -eq 2 ] || fail "$n windows visible; expected the background and the login window (no splash)"
read -r x y < <(xwininfo -id "$bg" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print x, y}')

# The login button of the demo page: the page sits at (415, 179) of the login screen and the
# button at (374, 264) of the page.
sleep 0.5
xdotool mousemove $((x + 415 + 374)) $((y + 179 + 264)) click 1
main=$(wait_window "ZorvikTalmar2" 15) || fail "no main window after the login"
for _ in $(seq 1 100); do
  grep -q '^request: GET /games/talmar2/play/1$' "$work/portal.log" && break
  sleep 0.1
done
grep -q '^request: GET /games/talmar2/play/1$' "$work/portal.log" || fail "the game page was not requested"
for _ in $(seq 1 50); do
  [ -z "$(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null)" ] && break
  sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null)" ] \
  || fail "the login screen stayed after the login"
xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4
wait_exit "$client"

# An empty login page.
kill "${pids[0]}"
start_portal --refuse-login
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示" 20) || fail "no notice for an empty login page"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
wait_exit "$client"
echo "login road: ok"
