#!/usr/bin/env bash
# Runs a command in a private GNOME Shell session: the shell's headless mode with a virtual
# monitor, Xwayland, the AppIndicator extension (the desktop's tray) and the shell out of its
# overview, on a private system bus and a private session bus. The client reaches the shell
# through Xwayland, as on a GNOME Wayland desktop. Used by tests/e2e/gnome_session.sh and handy
# for looking at the client:
#   tools/with-gnome.sh <command> [args...]
# The command sees DISPLAY and XAUTHORITY (Xwayland), WAYLAND_DISPLAY, XDG_CURRENT_DESKTOP=GNOME
# and DESKTOP_SHOT, a command that writes a picture of the whole screen to the PNG file named as
# its argument. Exit status 77 when the shell, its tray extension or Xwayland is missing.
# Everything started here ends with the command: the shell is heavy, it never outlives it.
set -euo pipefail

ext=ubuntu-appindicators@ubuntu.com
for p in gnome-shell Xwayland dbus-daemon gnome-screenshot gdbus xprop; do
  command -v "$p" >/dev/null || { echo "with-gnome: $p is not installed" >&2; exit 77; }
done
[ -d "/usr/share/gnome-shell/extensions/$ext" ] ||
  { echo "with-gnome: the AppIndicator extension is not installed" >&2; exit 77; }

size=${DESKTOP_SIZE:-1600x1000}
runtime=$(mktemp -d /tmp/with-gnome-XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime

# The shell ends at start-up without a system bus (it watches the login manager there): a
# private one, open to this user's programs only.
cat >"$runtime/system.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$runtime/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="$(id -un)"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
# GNOME 43's own portal back end offers no global shortcuts, and KDE's, when installed beside it,
# cannot start without Plasma: the portal's front end gets no back end at all, which is what a
# client sees of the shortcuts on GNOME.
mkdir "$runtime/portals"
export XDG_DESKTOP_PORTAL_DIR=$runtime/portals

system_pid=$(dbus-daemon --config-file="$runtime/system.conf" --fork --print-pid)
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$runtime/system_bus_socket

cleanup() {
  kill "$system_pid" 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

# Inside the private session bus: the shell, then the command.
inside() {
  local log=$XDG_RUNTIME_DIR/gnome-shell.log display="" shell rc
  # The shell's settings live in dconf (the user's configuration folder), whatever backend the
  # command's own programs use.
  GSETTINGS_BACKEND=dconf gsettings set org.gnome.shell enabled-extensions "['$ext']"
  GSETTINGS_BACKEND=dconf gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'
  XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland GSETTINGS_BACKEND=dconf \
    gnome-shell --headless --wayland --wayland-display wayland-gnome-test \
    --virtual-monitor "$size" >"$log" 2>&1 &
  shell=$!
  for _ in $(seq 1 400); do
    display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$log" | head -n 1)
    [ -n "$display" ] && gdbus introspect --session --dest org.gnome.Shell \
      --object-path /org/gnome/Shell >/dev/null 2>&1 && break
    kill -0 "$shell" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$display" ] || ! kill -0 "$shell" 2>/dev/null; then
    echo "with-gnome: the shell did not start" >&2
    cat "$log" >&2
    kill "$shell" 2>/dev/null
    return 1
  fi
  export DISPLAY=$display WAYLAND_DISPLAY=wayland-gnome-test XDG_CURRENT_DESKTOP=GNOME
  XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n 1)
  export XAUTHORITY
  export DESKTOP_SHOT="gnome-screenshot -f" DESKTOP_LOG=$log NO_AT_BRIDGE=1
  unset GDK_BACKEND
  # The shell shows its overview once it has started, which would cover every window: it is
  # closed as soon as it is there.
  overview() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
      --method org.freedesktop.DBus.Properties."$@" 2>/dev/null
  }
  for _ in $(seq 1 200); do
    overview Get org.gnome.Shell OverviewActive | grep -q true && break
    sleep 0.05
  done
  for _ in $(seq 1 100); do
    overview Set org.gnome.Shell OverviewActive '<false>' >/dev/null
    sleep 0.1
    overview Get org.gnome.Shell OverviewActive | grep -q false && break
  done
  # Ready once the shell has told X clients its work area (the top bar's room taken off) and
  # the tray extension watches for icons.
  for _ in $(seq 1 200); do
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q = &&
      gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher 2>/dev/null |
      grep -q true && break
    sleep 0.05
  done
  echo "with-gnome: WAYLAND_DISPLAY=$WAYLAND_DISPLAY DISPLAY=$DISPLAY" >&2
  set +e
  "$@"
  rc=$?
  kill "$shell" 2>/dev/null
  wait "$shell" 2>/dev/null
  return $rc
}
export -f inside
export ext size

set +e
dbus-run-session -- bash -c 'set -uo pipefail; inside "$@"' inside "$@"
exit $?
