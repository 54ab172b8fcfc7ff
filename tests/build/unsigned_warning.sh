#!/usr/bin/env bash
# A build whose updates are not signed says so wherever its maker or a player looks: at
# configure time for every build type but Debug (in any spelling), in --version on standard
# error (standard output keeps the bare version for scripts), and once in the event log at
# start. A build with a key, and a Debug build, say nothing.
set -euo pipefail
work=$(mktemp -d /tmp/client-config-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
warning='its updates are not signed'
# CMake wraps its warnings' lines: they are read as one.
warns() { tr -s ' \n' ' ' <"$work/out" | grep -q "$warning"; }

# One build tree configured again for each type: the compiler and library checks run once.
for type in Debug debug DEBUG Release release RelWithDebInfo MinSizeRel Profile; do
  cmake -S "$SOURCE_DIR" -B "$work/tree" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DCLIENT_UPDATE_PUBKEY= \
    -DCLIENT_BUILD_TESTS=OFF -DCLIENT_BUILD_BENCH=OFF >"$work/out" 2>&1 \
    || fail "configure $type: $(cat "$work/out")"
  if [[ ${type,,} = debug ]]; then
    ! warns || fail "a $type build warns of unsigned updates"
  else
    warns || fail "a $type build without a key does not warn: $(cat "$work/out")"
  fi
done
key=$(printf 'ab%.0s' $(seq 32))
cmake -S "$SOURCE_DIR" -B "$work/tree" -DCMAKE_BUILD_TYPE=Release -DCLIENT_UPDATE_PUBKEY="$key" \
  >"$work/out" 2>&1 || fail "configure with a key: $(cat "$work/out")"
! warns || fail "a build with a key warns of unsigned updates"

# --version of this build (no key) and of the tests' signed client.
[ "$("$CLIENT_EXE" --version 2>"$work/err")" = "$CLIENT_VERSION" ] \
  || fail "--version printed more than the version"
grep -q "^Zorvik_talmar2: warning: this build's updates are not signed" "$work/err" \
  || fail "--version of an unsigned build: '$(cat "$work/err")'"
"$SIGNED_CLIENT_EXE" --version >/dev/null 2>"$work/err"
[ ! -s "$work/err" ] || fail "--version of a signed build: '$(cat "$work/err")'"

# A start: the event log's lines reach standard error when it is a terminal. Without a display
# the client ends right after its first lines.
env -u DISPLAY -u WAYLAND_DISPLAY script -qec "$CLIENT_EXE" /dev/null >"$work/start" 2>&1 || true
[ "$(grep -c "updates are not signed" "$work/start")" = 1 ] \
  || fail "a start of an unsigned build logs the warning not once: $(cat "$work/start")"
echo "unsigned build warning: ok"
