#!/usr/bin/env bash
# Runs a command in a private KDE Plasma session: KWin's virtual back end with Xwayland,
# kded5 (the desktop's StatusNotifier watcher and global shortcuts), Plasma's shell (the tray)
# and KDE's portal back end, on a private session bus. The client reaches KWin through
# Xwayland, as on a Plasma Wayland desktop. Used by tests/e2e/kde_session.sh and handy for
# looking at the client:
#   tools/with-kwin.sh <command> [args...]
# The command sees DISPLAY (Xwayland), WAYLAND_DISPLAY, XDG_CURRENT_DESKTOP=KDE and DESKTOP_SHOT,
# a command that writes a picture of the whole screen to the PNG file named as its argument
# (needs the tests' helper kwin_screenshot: KWIN_SCREENSHOT, the build's tests/ folder has it).
# PLASMA=0 leaves Plasma's shell out (the tray host; the rest runs without it). Exit status 77
# when KWin, kded5, Plasma's shell, Qt's Wayland platform or Xwayland is missing. Everything
# started here ends with the command: KWin and Plasma are heavy, they never outlive it.
set -euo pipefail

for p in kwin_wayland kded5 plasmashell Xwayland gdbus xdpyinfo; do
  command -v "$p" >/dev/null || { echo "with-kwin: $p is not installed" >&2; exit 77; }
done
dpkg-query -W -f='${Status}' qtwayland5 2>/dev/null | grep -q 'ok installed' ||
  { echo "with-kwin: qtwayland5 is not installed" >&2; exit 77; }
portal_kde=$(dpkg -L xdg-desktop-portal-kde 2>/dev/null | grep -m1 '/xdg-desktop-portal-kde$' || true)

size=${DESKTOP_SIZE:-1600x1000}
runtime=$(mktemp -d /tmp/with-kwin-XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
cleanup() { rm -rf "$runtime"; }
trap cleanup EXIT INT TERM

# kwin_wayland carries the file capability cap_sys_resource (to raise its own priority), which
# a container's bounding set may not hold: such a binary cannot even be started. A copy
# without the capability runs the same.
kwin=$(command -v kwin_wayland)
if ! "$kwin" --version >/dev/null 2>&1; then
  cp "$kwin" "$runtime/kwin_wayland"
  kwin=$runtime/kwin_wayland
fi

inside() {
  local log=$XDG_RUNTIME_DIR/kwin.log display="" pids=() rc p
  export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_FULL_SESSION=true
  export KDE_SESSION_VERSION=5 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1
  # KWin starts the programs named after its options with its Xwayland's DISPLAY: one that
  # writes it down tells this script.
  printf '#!/bin/sh\necho "$DISPLAY" >"%s/display.tmp" && mv "%s/display.tmp" "%s/display"\n' \
    "$XDG_RUNTIME_DIR" "$XDG_RUNTIME_DIR" "$XDG_RUNTIME_DIR" >"$XDG_RUNTIME_DIR/tell-display"
  chmod +x "$XDG_RUNTIME_DIR/tell-display"
  "$kwin" --virtual --xwayland --width "${size%x*}" --height "${size#*x}" \
    --socket wayland-kwin-test "$XDG_RUNTIME_DIR/tell-display" >"$log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 400); do
    [ -s "$XDG_RUNTIME_DIR/display" ] && display=$(cat "$XDG_RUNTIME_DIR/display") && break
    kill -0 "${pids[0]}" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$display" ]; then
    echo "with-kwin: KWin did not start" >&2
    cat "$log" >&2
    kill "${pids[@]}" 2>/dev/null
    return 1
  fi
  export DISPLAY=$display WAYLAND_DISPLAY=wayland-kwin-test QT_QPA_PLATFORM=wayland
  # Programs the bus starts for the desktop (its activity manager, the portal) are Wayland
  # clients of this KWin too.
  dbus-update-activation-environment DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_CURRENT_DESKTOP \
    XDG_SESSION_TYPE KDE_FULL_SESSION KDE_SESSION_VERSION XDG_RUNTIME_DIR 2>/dev/null
  for _ in $(seq 1 200); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.05
  done
  # The rest are Qt programs of the Wayland session.
  kded5 >"$XDG_RUNTIME_DIR/kded5.log" 2>&1 &
  pids+=($!)
  if [ -n "$portal_kde" ]; then
    "$portal_kde" >"$XDG_RUNTIME_DIR/portal-kde.log" 2>&1 &
    pids+=($!)
  fi
  if [ "${PLASMA:-1}" != 0 ]; then
    plasmashell --no-respawn >"$XDG_RUNTIME_DIR/plasmashell.log" 2>&1 &
    pids+=($!)
  fi
  # Ready once kded5 watches for StatusNotifier items (and Plasma's tray has registered as
  # their host).
  for _ in $(seq 1 400); do
    if gdbus call --session --dest org.kde.StatusNotifierWatcher \
      --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
      org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered 2>/dev/null |
      grep -q "${PLASMA_READY:-true}"; then
      break
    fi
    sleep 0.05
  done
  unset QT_QPA_PLATFORM
  export DESKTOP_SHOT="${KWIN_SCREENSHOT:-kwin_screenshot}" DESKTOP_LOG=$log NO_AT_BRIDGE=1
  unset GDK_BACKEND
  echo "with-kwin: WAYLAND_DISPLAY=$WAYLAND_DISPLAY DISPLAY=$DISPLAY" >&2
  set +e
  "$@"
  rc=$?
  for ((p = ${#pids[@]} - 1; p >= 0; p--)); do kill "${pids[p]}" 2>/dev/null; done
  wait 2>/dev/null
  return $rc
}
export -f inside
export kwin size portal_kde

set +e
dbus-run-session -- bash -c 'set -uo pipefail; inside "$@"' inside "$@"
exit $?
