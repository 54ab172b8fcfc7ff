# Shared helpers of the end-to-end scripts (sourced, not a test of its own).
# Needs CLIENT_EXE, UPDATER_EXE, DEMO_PORTAL and a DISPLAY with a window manager.

set -euo pipefail

work=$(mktemp -d /tmp/client-e2e-XXXXXX)
pids=()
cleanup() {
  local status=$? p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  # A client that was told to end still writes its web data on the way out (and its web
  # processes after it): the folder goes once they are gone, so the script's outcome is its own.
  for _ in $(seq 1 50); do
    local alive=0
    for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ "$alive" = 0 ] && break
    sleep 0.1
  done
  rm -rf "$work" 2>/dev/null || { sleep 1; rm -rf "$work" 2>/dev/null || true; }
  exit "$status"
}
trap cleanup EXIT

export HOME=$work/home TMPDIR=$work/tmp XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data \
  XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$TMPDIR" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
private_tmp="$TMPDIR/talmar2-$(id -u)"

fail() { echo "FAIL: $*" >&2; exit 1; }

# What a message box says: each box writes its title and text on the "boxes" debug channel
# before it shows, to the standard error this script shares with every program it starts; a
# copy of that stream goes to $work/stderr.log, where expect_box reads it.
export CLIENT_DEBUG=${CLIENT_DEBUG:+$CLIENT_DEBUG,}boxes
exec 2> >(tee -a "$work/stderr.log" >&2)

# expect_box TITLE TEXT: the message box shown last has that title and text.
expect_box() {
  local want="[boxes] $1 | $2" last=
  for _ in $(seq 1 50); do
    last=$(grep -a '^\[boxes\] ' "$work/stderr.log" 2>/dev/null | tail -n 1 || true)
    [ "$last" = "$want" ] && return 0
    sleep 0.05
  done
  fail "the box says \"${last#\[boxes\] }\", not \"$1 | $2\""
}

# start_portal [args...]: starts the demo portal and sets $base.
start_portal() {
  "$DEMO_PORTAL" "$@" >"$work/portal.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do
    grep -q '^listening on ' "$work/portal.log" && break
    sleep 0.05
  done
  base=$(sed -n 's/^listening on //p' "$work/portal.log")
  [ -n "$base" ] || fail "the demo portal did not start: $(cat "$work/portal.log")"
}

# wait_window NAME [seconds]: prints the id of a visible window with that exact title.
wait_window() {
  local name=$1 limit=${2:-20} id
  for _ in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# geometry ID: "x y width height" of a window, x and y on the screen.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'
}

# login_screen PID [COMMAND...]: prints the id of the client's login background (its 1237-px
# window) once it is visible, waiting up to 15 s; runs COMMAND on every round of the wait. A
# window gone between the search and the query (the splash, for one) is skipped.
login_screen() {
  local pid=$1 id w
  shift
  for _ in $(seq 1 150); do
    for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
      w=$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}') || continue
      [ "$w" = 1237 ] && { echo "$id"; return 0; }
    done
    [ $# -eq 0 ] || "$@" || true
    sleep 0.1
  done
  return 1
}

# wait_exit PID [seconds]: waits for the process to end; fails when it does not.
wait_exit() {
  local pid=$1 limit=${2:-20}
  for _ in $(seq 1 $((limit * 10))); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  fail "process $pid did not end within $limit s"
}

# wait_status PID STATUS [seconds]: waits for the process to end with that exit status.
wait_status() {
  local pid=$1 want=$2 limit=${3:-20} status=0
  for _ in $(seq 1 $((limit * 10))); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "process $pid did not end within $limit s"
  wait "$pid" || status=$?
  [ "$status" -eq "$want" ] || fail "process $pid ended with status $status, expected $want"
}

# wait_file PATH [seconds]
wait_file() {
  local path=$1 limit=${2:-20}
  for _ in $(seq 1 $((limit * 10))); do
    [ -s "$path" ] && return 0
    sleep 0.1
  done
  fail "$path did not appear"
}

# in_netns online|offline SCRIPT...: runs a command in a network namespace of its own. "offline"
# has only loopback; "online" adds a veth pair with an address and a default route that leads
# nowhere, so the machine looks connected whatever the host's network is. Nothing is sent over it:
# every server of the tests is on 127.0.0.1 inside the namespace. With IN_NETNS_MOUNTS set the
# command also gets a mount namespace of its own (for read-only or small file systems).
in_netns() {
  local mode=$1
  shift
  unshare -rn${IN_NETNS_MOUNTS:+m} bash -c '
    set -e
    ip link set lo up
    if [ "$0" = online ]; then
      ip link add v0 type veth peer name v1
      ip addr add 192.0.2.50/24 dev v0
      ip link set v0 up
      ip link set v1 up
      ip route add default via 192.0.2.1 dev v0
    fi
    exec "$@"' "$mode" "$@"
}

# fake_browser: makes a default web browser for http and https that records each address it is
# given in $work/browser.log.
fake_browser() {
  mkdir -p "$XDG_DATA_HOME/applications"
  cat >"$work/browser.sh" <<EOS
#!/bin/sh
echo "\$1" >> "$work/browser.log"
EOS
  chmod +x "$work/browser.sh"
  cat >"$XDG_DATA_HOME/applications/test-browser.desktop" <<EOS
[Desktop Entry]
Type=Application
Name=Test browser
Exec=$work/browser.sh %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
EOS
  cat >"$XDG_CONFIG_HOME/mimeapps.list" <<EOS
[Default Applications]
x-scheme-handler/http=test-browser.desktop
x-scheme-handler/https=test-browser.desktop
EOS
}
