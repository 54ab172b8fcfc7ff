#!/usr/bin/env bash
# Endurance of the client: 100 logins (login page -> main window -> exit question "否" -> another
# login) and 1,000 tab open/close cycles in one main window, then a game page that allocates and
# frees 200 MB in a loop for a minute; the memory of the client and of its web processes before
# and after (goal: growth under 5%). On a private desktop, against the demo portal, with website
# data in a private directory.
#   bench/endurance/run.sh [--logins N] [--tabs N] [--churn-seconds S]
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
targets=(endurance_bench demo-portal)
cmake --build "$build" --target "${targets[@]}" >/dev/null 2>&1 ||
  { cmake -S "$root" -B "$build" >/dev/null && cmake --build "$build" --target "${targets[@]}" >/dev/null; }
work=$(mktemp -d /tmp/client-endurance-XXXXXX)
portal=
cleanup() {
  [ -n "$portal" ] && kill "$portal" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home TMPDIR=$work/tmp XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data \
  XDG_CONFIG_HOME=$work/config GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$TMPDIR" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
"$build/tools/demoportal/demo-portal" >"$work/portal.log" 2>&1 &
portal=$!
for _ in $(seq 1 100); do grep -q '^listening on ' "$work/portal.log" && break; sleep 0.05; done
base=$(sed -n 's/^listening on //p' "$work/portal.log")
[ -n "$base" ] || { echo "the demo portal did not start" >&2; exit 1; }
"$root/tools/with-desktop.sh" "$build/bench/endurance/endurance_bench" "$base" "$@"
