#!/usr/bin/env bash
# A login page that enters the game from its own load event (a portal that signs a remembered
# player in at once; the demo portal's --auto-login): the main window comes and the splash is
# gone, also once the main window is hidden.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

start_portal --auto-login
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
main=$(wait_window "ZorvikTalmar2客户端" 30) || fail "no main window after the automatic login"
splash() {
  for id in $(xdotool search --pid "$client" 2>/dev/null); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' || continue
    [ "$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}')" = 356 ] && return 0
  done
  return 1
}
for _ in $(seq 1 30); do splash || break; sleep 0.1; done
splash && fail "the splash stayed under the main window"
xdotool key F10
sleep 0.5
splash && fail "the splash shows once the main window is hidden"
echo "automatic login: ok"
