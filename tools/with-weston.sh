#!/usr/bin/env bash
# Runs a command in a private Wayland session: weston with its headless backend and Xwayland,
# and a private D-Bus session. The client reaches the compositor through Xwayland, as on a
# Wayland desktop. Used by the tests labelled wayland and handy for looking at the client:
#   tools/with-weston.sh <command> [args...]
# The command sees DISPLAY (Xwayland), WAYLAND_DISPLAY and WESTON_LOG; a screenshot of the whole
# output: `weston-screenshooter` (weston runs with --debug, which allows it), which writes
# wayland-screenshot-*.png into the working directory. Exit status 77 when weston or Xwayland is
# missing.
set -euo pipefail

command -v weston >/dev/null && command -v Xwayland >/dev/null ||
  { echo "with-weston: weston or Xwayland is not installed" >&2; exit 77; }
size=${WESTON_SIZE:-1600x1000}
runtime=$(mktemp -d /tmp/with-weston-XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
socket=wayland-client-test
log=$runtime/weston.log
# --use-pixman: a renderer that really draws (the default one draws nothing); --debug: lets
# weston-screenshooter take pictures.
weston --backend=headless-backend.so --use-pixman --xwayland --debug --socket=$socket \
  --width="${size%x*}" --height="${size#*x}" --idle-time=0 --log="$log" >/dev/null 2>&1 &
weston=$!
cleanup() {
  kill "$weston" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

display=""
for _ in $(seq 1 400); do
  # weston may not have made its log yet: a missing file is not an error here.
  [ -f "$log" ] && display=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$log" | head -n 1)
  [ -n "$display" ] && break
  kill -0 "$weston" 2>/dev/null || break
  sleep 0.05
done
[ -n "$display" ] || { echo "with-weston: weston did not start" >&2; cat "$log" >&2; exit 1; }
export WAYLAND_DISPLAY=$socket DISPLAY=$display WESTON_LOG=$log NO_AT_BRIDGE=1
unset GDK_BACKEND
# Xwayland starts on the first X connection.
for _ in $(seq 1 200); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.05
done
xdpyinfo >/dev/null 2>&1 || { echo "with-weston: Xwayland did not start" >&2; exit 1; }
echo "with-weston: WAYLAND_DISPLAY=$socket DISPLAY=$display" >&2

set +e
dbus-run-session -- "$@"
exit $?
