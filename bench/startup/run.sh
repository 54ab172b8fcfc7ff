#!/usr/bin/env bash
# Time from exec to the splash on screen (update check against the loopback demo portal
# included), against a minimal GTK 3 program that maps one window, alternating, same run.
# Runs on a private Xvfb display without a window manager.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" --target startup_bench startup_peer Zorvik_talmar2 demo-portal >/dev/null
runs=${RUNS:-15}

for n in $(seq 150 199); do [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }; done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
log=$(mktemp)
trap 'kill $xvfb ${portal:-} 2>/dev/null || true; rm -f "$log"' EXIT
export DISPLAY=$display NO_AT_BRIDGE=1
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done

"$build/tools/demoportal/demo-portal" >"$log" &
portal=$!
for _ in $(seq 1 100); do grep -q '^listening on ' "$log" && break; sleep 0.05; done
export CLIENT_BASE_URL=$(sed -n 's/^listening on //p' "$log")
export TMPDIR=$(mktemp -d)

"$build/bench/startup/startup_bench" "$runs" -- "$build/app/Zorvik_talmar2" -- "$build/bench/startup/startup_peer"
