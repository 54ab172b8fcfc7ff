# What the benchmarks that run on a private display share; sourced by their run.sh
# after `set -euo pipefail`, never run on its own:
#   source "$(dirname "$0")/../lib.sh"
# It sets `root` (the source tree) and `build` (BUILD_DIR, default build/ in the source tree).
# A script names itself in `bench_name` (for its messages) and may define `bench_on_exit`, which
# the clean-up runs first, to end the programs it started; the clean-up then ends the demo
# portals and the display and removes `work`.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bench_name=${bench_name:-bench}
work=
xvfb=
portals=()

# The script's status stays what it was: nothing here fails it.
bench_cleanup() {
  if declare -F bench_on_exit >/dev/null; then bench_on_exit || true; fi
  for p in "${portals[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  if [ -n "$work" ]; then rm -rf "$work"; fi
}

# bench_display: a work directory (`work`) and a private Xvfb display of 1280 x 800 on the first
# free number from 150 to 199, without a window manager; exports DISPLAY once the server answers.
bench_display() {
  local display= n
  for n in $(seq 150 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
  done
  [ -n "$display" ] || { echo "$bench_name bench: no free display" >&2; exit 1; }
  work=$(mktemp -d)
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap bench_cleanup EXIT INT TERM
  export DISPLAY=$display NO_AT_BRIDGE=1
  for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
  xdpyinfo >/dev/null 2>&1 || { echo "$bench_name bench: Xvfb did not start" >&2; exit 1; }
}

# bench_portal LOG [OPTION...]: starts the demo portal with the options, its output in LOG, and
# sets `portal_base` to its address once it listens.
bench_portal() {
  local log=$1
  shift
  "$build/tools/demoportal/demo-portal" "$@" >"$log" &
  portals+=($!)
  for _ in $(seq 1 100); do grep -qs "^listening on " "$log" && break; sleep 0.05; done
  portal_base=$(sed -n 's/^listening on //p' "$log")
  [ -n "$portal_base" ] || { echo "$bench_name bench: the demo portal did not start" >&2; exit 1; }
}

# bench_home DIR: the private directories of one program's run (temporary files, website data,
# cache, settings, runtime) under DIR; bench_use_home DIR also exports them.
bench_home() {
  mkdir -p "$1/tmp" "$1/data" "$1/cache" "$1/config" "$1/runtime"
  chmod 700 "$1/runtime"
}
bench_use_home() {
  bench_home "$1"
  export TMPDIR=$1/tmp XDG_DATA_HOME=$1/data XDG_CACHE_HOME=$1/cache
  export XDG_CONFIG_HOME=$1/config XDG_RUNTIME_DIR=$1/runtime
}

# The processes of a tree, the root first.
tree() {
  local all=($1) i=0
  while [ $i -lt ${#all[@]} ]; do
    for c in $(cat /proc/${all[$i]}/task/*/children 2>/dev/null); do all+=($c); done
    i=$((i + 1))
  done
  echo "${all[@]}"
}
# Anonymous memory (KiB) of one process, and of a process tree.
anon_of() { awk '/^Anonymous:/{print $2}' /proc/$1/smaps_rollup 2>/dev/null || echo 0; }
anon_kb() {
  local s=0 p v
  for p in $(tree "$1"); do v=$(anon_of "$p"); s=$((s + ${v:-0})); done
  echo $s
}
# CPU ticks (user and system) of the processes named.
ticks_of() {
  local s=0 p v
  for p in "$@"; do v=$(awk '{print $14 + $15}' /proc/$p/stat 2>/dev/null || echo 0); s=$((s + ${v:-0})); done
  echo $s
}

# Whether the client's main window is up (the login window has the same title, but not the
# screen's width).
main_up() {
  for id in $(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null); do
    [ "$(xwininfo -id "$id" | awk '/Width:/{print $2}')" = 1280 ] && return 0
  done
  return 1
}
