#!/usr/bin/env bash
# Runs a command on a private X desktop: Xvfb, the openbox window manager and a private D-Bus
# session. Used by the tests and handy for looking at the client:
#   tools/with-desktop.sh <command> [args...]
# The display number is printed on standard error; everything started here ends with the command.
set -euo pipefail

screen=${DESKTOP_SCREEN:-1600x1000x24}
# The server picks a free display itself and names it (-displayfd), so that desktops started
# side by side (tests on desktops of their own) never take one number. Two servers probing the
# same number at the same moment can still both give up on it: then it is tried again.
cleanup() {
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM
dfile=$(mktemp /tmp/with-desktop-XXXXXX)
display=
for attempt in 1 2 3 4 5; do
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -ac 3>"$dfile" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 400); do
    [ -s "$dfile" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
  done
  [ -s "$dfile" ] && { display=":$(head -n 1 "$dfile")"; break; }
  wait "$xvfb" 2>/dev/null || true
  sleep "0.$((RANDOM % 5 + 1))"
done
rm -f "$dfile"
[ -n "$display" ] || { echo "with-desktop: Xvfb did not start" >&2; exit 1; }

export DISPLAY=$display
export NO_AT_BRIDGE=1
# Up to 20 s: a large screen on a loaded machine takes a while.
for _ in $(seq 1 400); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.05
done
xdpyinfo >/dev/null 2>&1 || { echo "with-desktop: Xvfb did not start" >&2; exit 1; }
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
echo "with-desktop: DISPLAY=$display" >&2

set +e
dbus-run-session -- "$@"
rc=$?
exit $rc
