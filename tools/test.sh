#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test on a private X desktop.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/tools/build.sh"
cd "$build"
# A test that fails is run again, up to three times in all: the GUI tests share one display
# with a real window manager on a small, shared machine, and a rare timing miss there is not a
# fault of the client. A real fault fails every time, and every attempt's output is shown.
exec "$root/tools/with-desktop.sh" ctest --output-on-failure --timeout 300 -j2 \
  --repeat until-pass:3 "$@"
