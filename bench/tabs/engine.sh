#!/usr/bin/env bash
# Fetches the game engine of the tabs benchmark from the npm registry (kontra, MIT licence, a
# small canvas 2D engine) and lays out the live game's directory for the demo portal's --live:
# game.html, kontra.min.js and the engine's licence. Prints the directory.
#   bench/tabs/engine.sh DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$1
version=10.0.2
mkdir -p "$dir"
if [ ! -s "$dir/kontra.min.js" ] || ! grep -q "Kontra.js v$version" "$dir/kontra.min.js"; then
  command -v npm >/dev/null || bash "$here/../../tools/install-deps.sh"
  tmp=$(mktemp -d)
  (cd "$tmp" && npm pack --silent "kontra@$version" >/dev/null)
  tar -xzf "$tmp/kontra-$version.tgz" -C "$tmp" package/kontra.min.js package/LICENSE
  cp "$tmp/package/kontra.min.js" "$dir/kontra.min.js"
  cp "$tmp/package/LICENSE" "$dir/LICENSE.kontra"
  rm -rf "$tmp"
fi
cp "$here/game.html" "$dir/game.html"
echo "$dir"
