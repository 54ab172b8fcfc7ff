#!/usr/bin/env bash
# The client in a Wayland session, through Xwayland: weston with its headless backend
# (tools/with-weston.sh). The splash, the login screen with its see-through parts blended by the
# compositor, the login page's button, the main window with three tabs, the program menu and
# the exit question work as on X11. What the compositor does differently is printed (as
# "wayland: ..." lines) rather than failed on. Skipped (77) when weston or Xwayland is missing.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" = "" ]; then
  in_netns online bash "$0" session
  exit
fi
if [ "$1" = session ]; then
  exec "$SOURCE_DIR/tools/with-weston.sh" bash "$0" inside
fi
[ -n "${WAYLAND_DISPLAY:-}" ] || fail "not in a Wayland session"

# screen NAME: a picture of the compositor's whole output (what the user sees) in $work/NAME.png.
screen() {
  local f
  (cd "$work" && rm -f wayland-screenshot-*.png && timeout 20 weston-screenshooter >/dev/null 2>&1) ||
    fail "no screenshot from the compositor"
  f=$(ls "$work"/wayland-screenshot-*.png | head -n 1)
  mv "$f" "$work/$1.png"
  [ -n "${WAYLAND_SHOTS:-}" ] && cp "$work/$1.png" "$WAYLAND_SHOTS/$1.png"
  return 0
}
# window_of PID WIDTH: the visible window of the process that is WIDTH wide.
window_of() {
  local id w
  for _ in $(seq 1 200); do
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
      w=$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}') || continue
      [ "$w" = "$2" ] && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}

# dark SHOT: how many pixels of a screenshot are black. A window whose see-through parts the
# compositor does not blend shows them black; the desktop, the panel and weston's shadows are
# never quite black.
dark() {
  convert "$work/$1.png" -fx 'r+g+b<0.02 ? 1 : 0' -format '%[fx:int(mean*w*h)]' info:
}

# The splash while the portal holds the login page back.
start_portal --login-delay 4000
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
splash=$(window_of "$client" 356) || fail "no splash"
read -r x y w h < <(geometry "$splash")
echo "wayland: splash at $x,$y ($w x $h) in X coordinates"
sleep 1
screen splash
n=$(dark splash)
echo "wayland: splash screen, $n black pixels"
[ "$n" -lt 2000 ] || fail "$n black pixels with the splash up: its transparent parts show black"

# The login screen: the background with its see-through parts over the desktop.
bg=$(window_of "$client" 1237) || fail "no login screen"
depth=$(xwininfo -id "$bg" | awk '/Depth:/{print $2}')
[ "$depth" = 32 ] || fail "the login background has depth $depth, not 32 (no alpha)"
read -r x y w h < <(geometry "$bg")
echo "wayland: login screen at $x,$y ($w x $h) in X coordinates, depth $depth"
sleep 3
screen login
n=$(dark login)
echo "wayland: login screen, $n black pixels"
[ "$n" -lt 20000 ] || fail "$n black pixels with the login screen up: its see-through parts show black"
kill "$client"
wait_exit "$client"
kill "${pids[0]}"

# The main window: the portal's login page enters the first server by itself (pointer input
# cannot be driven here, see the exit question below). A tray host's bus side, for the tray icon.
"$TRAY_WATCHER" >"$work/tray.log" &
pids+=($!)
for _ in $(seq 1 50); do grep -q '^ready' "$work/tray.log" && break; sleep 0.1; done
start_portal --auto-login
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
# The main window: the client's titled window wider than the splash and the login screen.
main=""
for _ in $(seq 1 300); do
  for id in $(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null || true); do
    w=$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}') || continue
    [ "${w:-0}" -gt 1237 ] && main=$id
  done
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || fail "no main window after the login"
sleep 1
read -r mx my mw mh < <(geometry "$main")
read -r sw sh < <(xdpyinfo | awk '/dimensions:/{split($2, d, "x"); print d[1], d[2]}')
echo "wayland: main window at $mx,$my ($mw x $mh) on a $sw x $sh screen"
[ "$mw" -ge 1000 ] && [ "$mh" -ge 600 ] || fail "the main window is only $mw x $mh"

# Two more tabs through the session bus.
"$CLIENT_EXE" --open "$base/games/talmar2/play/2" || fail "the running client refused the address"
"$CLIENT_EXE" --open "$base/games/talmar2/" || fail "the running client refused the address"
for path in /games/talmar2/play/2 /games/talmar2/; do
  for _ in $(seq 1 100); do
    grep -q "^request: GET $path\$" "$work/portal.log" && break
    sleep 0.1
  done
  grep -q "^request: GET $path\$" "$work/portal.log" || fail "tab $path was not loaded"
done
sleep 2
screen main

# The tray icon registers with the watcher on the session bus, whatever the display server.
for _ in $(seq 1 50); do grep -q '^registered ' "$work/tray.log" && break; sleep 0.1; done
tray=$(sed -n 's/^registered [^ ]* //p' "$work/tray.log" | head -n 1)
[ -n "$tray" ] || fail "no tray icon"
echo "wayland: tray icon $tray"

# F10 (an X key grab), pressed through Xwayland's XTEST: measured, not required (the headless
# compositor has no keyboard of its own).
visible() { [ -n "$(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null)" ]; }
xdotool key F10
for _ in $(seq 1 30); do visible || break; sleep 0.1; done
if visible; then
  echo "wayland: F10 pressed through XTEST did not reach the client's X grab"
else
  xdotool key F10
  for _ in $(seq 1 30); do visible && break; sleep 0.1; done
  visible || fail "F10 hid the main window but did not bring it back"
  echo "wayland: F10 pressed through XTEST hid and showed the main window"
fi

# The program menu, as a tray host opens it (ContextMenu), then "退出" (above the accounts' item) by
# keyboard: the exit question.
gdbus call --session --dest "${tray%%/*}" --object-path /StatusNotifierItem \
  --method org.kde.StatusNotifierItem.ContextMenu 200 200 >/dev/null || fail "ContextMenu failed"
menu=""
for _ in $(seq 1 30); do
  for id in $(xdotool search --onlyvisible --pid "$client" 2>/dev/null || true); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q MENU && menu=$id
  done
  [ -n "$menu" ] && break
  sleep 0.1
done
[ -n "$menu" ] || fail "no program menu"
sleep 0.5
screen menu
xdotool key Up Up
sleep 0.2
xdotool key Return
box=$(wait_window "提示" 10) || fail "no exit question after the menu's 退出"
sleep 0.5
screen exit-question
read -r bx by bw bh < <(geometry "$box")
echo "wayland: exit question $bw x $bh"
# Answering it needs the pointer (or the box's keyboard focus), which cannot be driven here: the
# headless compositor has no seat, Xwayland aborts on a pointer warp, and keys pressed through
# XTEST do not reach the box. The client ends on SIGTERM instead, taking its tray icon along.
kill "$client"
wait_exit "$client"
owner=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.NameHasOwner "${tray%%/*}")
[ "$owner" = "(false,)" ] || fail "the tray icon stayed after the client ended"
echo "wayland session: ok"
