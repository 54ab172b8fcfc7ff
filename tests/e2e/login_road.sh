#!/usr/bin/env bash
# From the splash to the game: the login screen replaces the splash once the login page has
# arrived, a click on the page's login button hands the game address to the main window, which
# covers the work area and shows the game page, with a tray icon and F10 hiding and showing it;
# a second game address from another process opens a second tab; closing asks first: "否" keeps
# it, "是" ends the client and takes the tray icon along. An empty login page (the portal hangs up) gives the
# connection notice and ends the client.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

start_portal
# A tray host's bus side, so the tray icon can register.
"$TRAY_WATCHER" >"$work/tray.log" &
pids+=($!)
for _ in $(seq 1 50); do grep -q '^ready' "$work/tray.log" && break; sleep 0.1; done
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
bg=$(login_screen "$client") || fail "no login screen"
# The splash stays under the login screen for a moment after its first frame, then goes.
for _ in $(seq 1 30); do
  n=$(xdotool search --onlyvisible --pid "$client" 2>/dev/null | wc -l)
  [ "$n" -eq 2 ] && break
  sleep 0.1
done
[ "$n" -eq 2 ] || fail "$n windows visible; expected the background and the login window (no splash)"
read -r x y _ _ < <(geometry "$bg")

# The login button of the demo page: the page sits at (415, 179) of the login screen and the
# button at (374, 264) of the page.
sleep 0.5
xdotool mousemove $((x + 415 + 374)) $((y + 179 + 264)) click 1
main=$(wait_window "ZorvikTalmar2客户端" 15) || fail "no main window after the login"
for _ in $(seq 1 100); do
  grep -q '^request: GET /games/talmar2/play/1$' "$work/portal.log" && break
  sleep 0.1
done
grep -q '^request: GET /games/talmar2/play/1$' "$work/portal.log" || fail "the game page was not requested"
login_gone() {
  for id in $(xdotool search --onlyvisible --pid "$client" 2>/dev/null); do
    [ "$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}')" = 1237 ] && return 1
  done
  return 0
}
for _ in $(seq 1 50); do login_gone && break; sleep 0.1; done
login_gone || fail "the login screen stayed after the login"

# The main window covers the work area (the whole screen here: no panel).
read -r sw sh < <(xdpyinfo | awk '/dimensions:/{split($2, d, "x"); print d[1], d[2]}')
for _ in $(seq 1 50); do [ "$(geometry "$main")" = "0 0 $sw $sh" ] && break; sleep 0.1; done
[ "$(geometry "$main")" = "0 0 $sw $sh" ] || fail "the main window is at $(geometry "$main"), not over the work area"

# The tray icon is there; F10 hides the window and shows it again.
for _ in $(seq 1 50); do grep -q '^registered ' "$work/tray.log" && break; sleep 0.1; done
tray=$(sed -n 's/^registered [^ ]* //p' "$work/tray.log" | head -n 1)
[ -n "$tray" ] || fail "no tray icon"
echo "tray icon: $tray"
visible() { [ -n "$(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null)" ]; }
xdotool key F10
for _ in $(seq 1 30); do visible || break; sleep 0.1; done
visible && fail "F10 did not hide the main window"
xdotool key F10
for _ in $(seq 1 30); do visible && break; sleep 0.1; done
visible || fail "F10 did not bring the main window back"

# A second game address through the session bus opens a second tab.
"$CLIENT_EXE" --open "$base/games/talmar2/play/2" || fail "the running client refused the address"
for _ in $(seq 1 100); do
  grep -q '^request: GET /games/talmar2/play/2$' "$work/portal.log" && break
  sleep 0.1
done
grep -q '^request: GET /games/talmar2/play/2$' "$work/portal.log" || fail "the second game page was not requested"

# Closing asks; "否" keeps the window, "是" ends the client.
answer() {  # answer 否|是
  local box x y w h
  box=$(wait_window "提示" 10) || fail "no exit question"
  sleep 0.3
  read -r x y w h < <(geometry "$box")
  [ "$w $h" = "242 140" ] || fail "the exit question is $w x $h"
  if [ "$1" = 是 ]; then xdotool mousemove $((x + 88)) $((y + 100)) click 1
  else xdotool mousemove $((x + 168)) $((y + 100)) click 1; fi
  for _ in $(seq 1 50); do
    [ -z "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  fail "the exit question stayed after $1"
}
xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4
answer 否
sleep 0.5
kill -0 "$client" 2>/dev/null || fail "the client ended after 否"
[ -n "$(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null)" ] || fail "the main window went after 否"
xdotool windowactivate --sync "$main" key --clearmodifiers alt+F4
answer 是
wait_exit "$client"
owner=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner "${tray%%/*}")
[ "$owner" = "(false,)" ] || fail "the tray icon stayed after the client ended ($tray: $owner)"

# An empty login page.
kill "${pids[0]}"
start_portal --refuse-login
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示" 20) || fail "no notice for an empty login page"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
wait_status "$client" 6
echo "login road: ok"
