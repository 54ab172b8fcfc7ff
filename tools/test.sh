#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a private X desktop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/tools/build.sh"
cd "$build"
exec "$root/tools/with-desktop.sh" ctest --output-on-failure --timeout 300 -j2 "$@"
