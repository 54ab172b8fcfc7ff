#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo portal on 127.0.0.1 and runs the client
# against it on the current display. Extra arguments go to the client (for example /web).
# DEMO_VERSION sets the version the portal's manifest announces (default: the client's own). With
# it the portal serves this build's client and web module as that version's files, and the client
# runs from a copy of its own, so that accepting the update installs them for real (the updater
# then starts the client again, which asks again: the files it got carry the same version).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
# Only what runs here: the client (with the web module and the updater it carries) and the portal.
bash "$root/tools/build.sh" Zorvik_talmar2 demo-portal

log=$(mktemp)
demo=$(mktemp -d)
client=$build/app/Zorvik_talmar2
args=()
if [ -n "${DEMO_VERSION:-}" ]; then
  mkdir "$demo/client" "$demo/files"
  for d in client files; do cp "$client" "$build/app/libtalmar2-web.so" "$demo/$d/"; done
  args+=(--version "$DEMO_VERSION" --files "$demo/files")
  client=$demo/client/Zorvik_talmar2
fi
"$build/tools/demoportal/demo-portal" "${args[@]}" >"$log" &
portal=$!
trap 'kill $portal 2>/dev/null || true; rm -rf "$log" "$demo"' EXIT
for _ in $(seq 1 100); do
  grep -q '^listening on ' "$log" && break
  sleep 0.05
done
base=$(sed -n 's/^listening on //p' "$log")
[ -n "$base" ] || { echo "run-demo: the demo portal did not start" >&2; exit 1; }
echo "run-demo: demo portal at $base" >&2

# wait_update_road CLIENT: after the client ends, the portal stays while its updater, or the
# client the updater started, runs.
wait_update_road() {
  while pgrep -f "^$1" >/dev/null || pgrep -f "/Update $(dirname "$1")\|" >/dev/null; do sleep 1; done
}
export -f wait_update_road
export DEMO_VERSION=${DEMO_VERSION:-}

if [ -z "${DISPLAY:-}" ]; then
  # Nothing shows on this machine: say how to look at the private desktop before the client
  # starts, with the display number it got.
  CLIENT_BASE_URL=$base "$root/tools/with-desktop.sh" bash -c '
    cat >&2 <<EOS
run-demo: no DISPLAY here, so the client runs on a private desktop ($DISPLAY, $(xdpyinfo | awk "/dimensions:/{print \$2}")).
  Look at it from another terminal:
    DISPLAY=$DISPLAY import -window root /tmp/client.png      (a screenshot; open the PNG)
    DISPLAY=$DISPLAY xdotool search --onlyvisible --name .    (its windows)
  Ctrl+C ends the client and the desktop.
EOS
    "$@"
    [ -z "${DEMO_VERSION:-}" ] || wait_update_road "$1"' run-demo "$client" "$@"
else
  CLIENT_BASE_URL=$base "$client" "$@"
  [ -z "${DEMO_VERSION:-}" ] || wait_update_road "$client"
fi
