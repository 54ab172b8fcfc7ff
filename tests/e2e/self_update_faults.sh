#!/usr/bin/env bash
# Self-updates that cannot complete leave the previous client whole, started again and working:
# the user cancels; a file is missing, empty or not what its hash says; the client's directory is
# read-only (a system-wide installation: no update is offered there) or its file system is full.
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/update.sh"
if [ "${1:-}" != inside ]; then
  IN_NETNS_MOUNTS=1 in_netns online bash "$0" inside
  exit
fi

start_update() {
  run_client_to_updater
}

# An end message of failure, then the previous client comes back.
expect_failure() {
  answer_end_message
  expect_old_client_back "$1"
}

install_client
serve_next_version --rate 1000000

# Cancelled during the first file: no end message, nothing installed, the old client returns.
# Closing the window asks the same question; No goes on.
start_update
id=$(wait_window "更新" 10)
xdotool windowactivate --sync "$id" key --clearmodifiers alt+F4
box=$(wait_window "提示" 10) || fail "closing the window asked nothing"
xdotool windowactivate --sync "$box" key --clearmodifiers alt+n
wait_box_gone
kill -0 "$updater" || fail "the updater ended after No"
click_close_button
box=$(wait_window "提示" 10) || fail "no cancel question"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
wait_exit "$updater" 20
expect_old_client_back "cancel"

# Files that cannot be installed, and a manifest whose every file line is unusable.
: >"$files/empty.bin"
sha=$(sha256sum "$files/libtalmar2-web.so" | cut -d' ' -f1)
for case in missing empty hash unusable; do
  {
    printf 'version=%s\r\n' "$NEXT_VERSION"
    case $case in
      missing) printf 'x|%s/gamehome/talmar2/files/nothing-here\r\n' "$base" ;;
      empty) printf 'x|%s/gamehome/talmar2/files/empty.bin\r\n' "$base" ;;
      hash) printf 'x|%s/gamehome/talmar2/files/libtalmar2-web.so|%s\r\n' "$base" "${sha//?/0}" ;;
      unusable) printf 'x|ftp://127.0.0.1/Zorvik_talmar2\r\nclient|%s/gamehome/talmar2/files/..\r\n' "$base" ;;
    esac
    [ $case = unusable ] || printf 'client|%s/gamehome/talmar2/files/Zorvik_talmar2\r\n' "$base"
  } >"$work/update.txt"
  start_update
  expect_failure "$case"
done

# A read-only directory and a full file system, on a small tmpfs of their own.
write_manifest
size_kb=$(( ($(stat -c %s "$CLIENT_EXE") + $(stat -c %s "$WEB_MODULE")) / 1024 + 2048 ))
mount -t tmpfs -o size=${size_kb}k tmpfs "$inst"
trap 'umount -l "$inst" 2>/dev/null || true; cleanup' EXIT
install_client
mount -o remount,ro "$inst"
# The client there offers no update; the updater, started anyway, fails and starts it again.
client_works "read-only: the client" start current
cp "$work/update.txt" "$private_tmp/update.txt"
CLIENT_BASE_URL=$base "$UPDATER_EXE" "$inst|$inst/Zorvik_talmar2" &
updater=$!
pids+=($updater)
answer_end_message
client_works "read-only: the updater" "" current
mount -o remount,rw "$inst"
start_update
expect_failure "full"
[ -z "$(ls -A "$inst" | grep '^\.talmar2-update-' || true)" ] || fail "full: temporary files were left"
echo "self update faults: ok"
