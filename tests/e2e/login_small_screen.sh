#!/usr/bin/env bash
# The login screen on a 1024 x 768 desktop with a window manager: the login page and both small
# pictures above it are on screen, the picture is not cropped, and the windows carry the icon
# at every size of the icon file.
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
login_screen "$client" >/dev/null || fail "no login screen of 1237 px"
# The splash goes a moment after the login screen's first frame.
for _ in $(seq 1 30); do
  [ "$(xdotool search --onlyvisible --pid "$client" 2>/dev/null | wc -l)" -eq 2 ] && break
  sleep 0.1
done
sleep 0.5  # anything the window manager does on mapping is done
for id in $(xdotool search --onlyvisible --pid "$client"); do
  read -r x y w h < <(geometry "$id")
  [ "$w x $h" = "1237 x 696" ] || fail "window $id is $w x $h; the window manager cut it to the screen"
  # The page (415, 179)-(1147, 604) and the pictures (1120, 130) and (1152, 125)-(1186, 159).
  [ "$x $y" = "-162 36" ] || fail "window $id at $x,$y; expected -162,36"
  sizes=$(xprop -len 99999999 -id "$id" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u | tr '\n' ' ')
  for s in 16 32 48 64 128 256; do
    grep -q "($s x $s)" <<<"$sizes" || fail "window $id has icons $sizes; no $s px one"
  done
done
kill "$client"
wait_exit "$client"
echo "login on a small screen: ok"
