#!/usr/bin/env bash
# Runs a command on a private X desktop: Xvfb, the openbox window manager and a private D-Bus
# session. Used by the tests and handy for looking at the client:
#   tools/with-desktop.sh <command> [args...]
# The display number is printed on standard error; everything started here ends with the command.
set -euo pipefail

screen=${DESKTOP_SCREEN:-1600x1000x24}
# Numbers from 90 up, clear of the low ones a desktop's own X server (GNOME's or KWin's Xwayland,
# in the tests of those desktops) takes and removes again when it ends. The server's lock file
# is taken atomically: of two desktops started side by side on one number, one server gives up,
# and that desktop tries the next number.
cleanup() {
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM
display=
ready=$(mktemp /tmp/with-desktop-XXXXXX)
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  # The server writes its number to descriptor 3 once it takes connections: only this one does.
  Xvfb ":$n" -displayfd 3 -screen 0 "$screen" -nolisten tcp -ac 3>"$ready" >/dev/null 2>&1 &
  xvfb=$!
  # Up to 20 s: a large screen on a loaded machine takes a while.
  for _ in $(seq 1 400); do
    [ -s "$ready" ] && { display=":$n"; break; }
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$display" ] && break
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xvfb=
done
rm -f "$ready"
[ -n "$display" ] || { echo "with-desktop: Xvfb did not start" >&2; exit 1; }

export DISPLAY=$display
export NO_AT_BRIDGE=1
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
echo "with-desktop: DISPLAY=$display" >&2

set +e
dbus-run-session -- "$@"
rc=$?
exit $rc
