#!/usr/bin/env bash
# Runs a command on a private X desktop: Xvfb, the openbox window manager and a private D-Bus
# session. Used by the tests and handy for looking at the client:
#   tools/with-desktop.sh <command> [args...]
# The display number is printed on standard error; everything started here ends with the command.
set -euo pipefail

screen=${DESKTOP_SCREEN:-1600x1000x24}
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
[ -n "${display:-}" ] || { echo "with-desktop: no free display" >&2; exit 1; }

Xvfb "$display" -screen 0 "$screen" -nolisten tcp -ac >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

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
