#!/usr/bin/env bash
# The client on GNOME Shell 43 (Wayland, the client through Xwayland): tools/with-gnome.sh starts
# the shell headless. The splash and the login screen centred, the main window over the work
# area, its restore, maximise and minimise buttons and F10 pressed through the compositor's own
# input (org.gnome.Mutter.RemoteDesktop), the tray icon with the shell's AppIndicator watcher
# (tests/e2e/lib/desktop.sh). F10 is an X grab here: it reaches the client while one of its X
# windows has the focus, so the window F10 hid comes back by `--toggle`, as a custom shortcut of
# the desktop runs it. Skipped (77) when the shell or its pieces are not installed.
# DESKTOP_SHOTS=DIR keeps pictures there.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" = "" ]; then
  in_netns online bash "$0" session
  exit
fi
if [ "$1" = session ]; then
  exec "$SOURCE_DIR/tools/with-gnome.sh" bash "$0" inside
fi
source "$(dirname "$0")/lib/desktop.sh"
DESKTOP=gnome

coproc INPUT { "$MUTTER_INPUT" 2>&1; }
pids+=($INPUT_PID)
read -r -t 10 line <&"${INPUT[0]}" && [ "$line" = ready ] || fail "no remote desktop session: $line"
input() {
  local answer
  echo "$*" >&"${INPUT[1]}"
  read -r -t 10 answer <&"${INPUT[0]}" && [ "$answer" = ok ] || fail "input '$*': $answer"
  sleep 0.3
}
click() { input move "$1" "$2"; input click; }
press() { input key "$1"; }
# The shell opens its overview at start-up, over every window: Escape closes it.
press Escape

# What a custom shortcut of the desktop runs in place of the second F10.
F10_BACK="$CLIENT_EXE --toggle"

desktop_road
echo "gnome session: ok"
