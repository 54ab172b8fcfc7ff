#!/usr/bin/env bash
# Builds and runs the download benchmark: COrvDownLoadFile against `curl -s -o` over loopback.
#   bench/download/run.sh [--size-mb N] [--runs N] [--curl PATH]
# BUILD_DIR selects the build tree (default: build/ at the top of the source tree).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target download_bench
exec "$build/bench/download/download_bench" "$@"
