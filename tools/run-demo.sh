#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo portal on 127.0.0.1 and runs the client
# against it on the current display. Extra arguments go to the client (for example /web).
# DEMO_VERSION sets the version the portal's manifest announces (default: the client's own).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/tools/build.sh"

log=$(mktemp)
args=()
[ -n "${DEMO_VERSION:-}" ] && args+=(--version "$DEMO_VERSION")
"$build/tools/demoportal/demo-portal" "${args[@]}" >"$log" &
portal=$!
trap 'kill $portal 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 1 100); do
  grep -q '^listening on ' "$log" && break
  sleep 0.05
done
base=$(sed -n 's/^listening on //p' "$log")
[ -n "$base" ] || { echo "run-demo: the demo portal did not start" >&2; exit 1; }
echo "run-demo: demo portal at $base" >&2

if [ -z "${DISPLAY:-}" ]; then
  echo "run-demo: no DISPLAY; running on a private desktop (tools/with-desktop.sh)" >&2
  CLIENT_BASE_URL=$base "$root/tools/with-desktop.sh" "$build/app/Zorvik_talmar2" "$@"
else
  CLIENT_BASE_URL=$base "$build/app/Zorvik_talmar2" "$@"
fi
