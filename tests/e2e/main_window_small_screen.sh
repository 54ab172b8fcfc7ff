#!/usr/bin/env bash
# The main window on a 1024 x 768 desktop: it covers the screen after the login; restored, its
# designed 1036 x 639 is fitted inside the screen (size and place); minimised with its own "-",
# one F10 brings it back restored and in front. E2E_SHOTS=DIR keeps a picture of the restored
# window there.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" = "" ]; then
  in_netns online bash "$0" desktop
  exit
fi
if [ "$1" = desktop ]; then
  DESKTOP_SCREEN=1024x768x24 exec "$SOURCE_DIR/tools/with-desktop.sh" bash "$0" inside
fi

start_portal
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
bg=$(login_screen "$client") || fail "no login screen"
read -r x y _ _ < <(geometry "$bg")
sleep 0.5
xdotool mousemove $((x + 415 + 374)) $((y + 179 + 264)) click 1
main=$(wait_window "ZorvikTalmar2客户端" 15) || fail "no main window after the login"
at() { for _ in $(seq 1 50); do [ "$(geometry "$main")" = "$1" ] && return 0; sleep 0.1; done; return 1; }
at "0 0 1024 768" || fail "the main window is at $(geometry "$main"), not over the screen"
sleep 0.5

# The restore button (25 x 18 px, 74 px from the right edge, 1 px from the top).
xdotool mousemove $((1024 - 62)) 10 click 1
at "0 64 1024 639" || fail "restored, the main window is at $(geometry "$main"); expected 0 64 1024 639"
sleep 0.5
if [ -n "${E2E_SHOTS:-}" ]; then
  mkdir -p "$E2E_SHOTS"
  import -window root "$E2E_SHOTS/main-restored-1024x768.png"
fi

# Its own "-" (24 x 18 px, 98 px from the right edge), then one F10.
read -r x y w _ < <(geometry "$main")
xdotool mousemove $((x + w - 86)) $((y + 10)) click 1
shown() { [ -n "$(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null)" ]; }
for _ in $(seq 1 30); do shown || break; sleep 0.1; done
shown && fail "the '-' button did not minimise the main window"
xdotool key F10
for _ in $(seq 1 30); do shown && break; sleep 0.1; done
shown || fail "one F10 did not bring the minimised window back"
for _ in $(seq 1 30); do [ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ] && break; sleep 0.1; done
[ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ] || fail "the window came back, but not in front"
at "0 64 1024 639" || fail "back from minimised, the window is at $(geometry "$main")"
# A second F10 hides it.
xdotool key F10
for _ in $(seq 1 30); do shown || break; sleep 0.1; done
shown && fail "F10 did not hide the window on the screen"
kill "$client"
wait_exit "$client"
echo "main window on a small screen: ok"
