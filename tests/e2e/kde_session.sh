#!/usr/bin/env bash
# The client on KDE Plasma 5.27 (KWin on Wayland, the client through Xwayland):
# tools/with-kwin.sh starts KWin headless with kded5, Plasma's shell and KDE's portal. The splash
# and the login screen centred, the main window over the work area, its restore, maximise and
# minimise buttons, F10 (xdotool through Xwayland: KWin's virtual back end offers no input of its
# own), the tray icon with kded5's StatusNotifier watcher (tests/e2e/lib/desktop.sh). Skipped (77)
# when KWin or its pieces are not installed. DESKTOP_SHOTS=DIR keeps pictures there.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" = "" ]; then
  in_netns online bash "$0" session
  exit
fi
if [ "$1" = session ]; then
  exec "$SOURCE_DIR/tools/with-kwin.sh" bash "$0" inside
fi
source "$(dirname "$0")/lib/desktop.sh"
DESKTOP=kde

click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
press() { xdotool key "$1"; sleep 0.3; }

desktop_road
echo "kde session: ok"
