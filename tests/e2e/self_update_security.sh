#!/usr/bin/env bash
# The signed update road's refusals, with the client and updater built with the tests' key: a
# replayed lower serial, an expired manifest and a file line without a hash are never offered,
# and the updater refuses a kept pair below the highest serial before it fetches anything; an
# update killed between its renames is finished (or undone) by the next start of the client, so
# that the client and its web module match; a client in a read-only directory offers no update.
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/update.sh"
if [ "${1:-}" != inside ]; then
  IN_NETNS_MOUNTS=1 in_netns online bash "$0" inside
  exit
fi
CLIENT_EXE=$SIGNED_CLIENT_EXE
state=$XDG_STATE_HOME/talmar2/update-serial

install_client
mkdir -p "$files"
cp "$NEXT_CLIENT_EXE" "$files/Zorvik_talmar2"
cp "$NEXT_WEB_MODULE" "$files/libtalmar2-web.so"
: >"$work/update.txt"
start_portal --manifest "$work/update.txt" --files "$files" --sign-key "$TEST_UPDATE_KEY"

# no_update_offered WHAT: the installed client goes on to its login page without a question.
no_update_offered() {
  client_works "$1" start current
  [ -z "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null || true)" ] \
    || fail "$1: an update was offered"
}

# Serial 5 is offered (and declined): it is the highest accepted from now on.
write_manifest "serial=5" "expires=$(utc_in 3600)"
client_works "serial 5" start
[ "$(cat "$state")" = 5 ] || fail "the accepted serial was not kept: $(cat "$state" 2>&1)"

write_manifest "serial=4" "expires=$(utc_in 3600)"
no_update_offered "replayed serial 4"
write_manifest "serial=6" "expires=$(utc_in -60)"
no_update_offered "expired"
write_manifest "serial=6" "expires=$(utc_in 3600)"
sed -i "s/^\\(client|[^|]*\\)|[0-9a-f]*|/\\1||/" "$work/update.txt"
no_update_offered "unhashed client line"
[ "$(cat "$state")" = 5 ] || fail "a refused manifest changed the kept serial"

# The updater checks the kept pair again before fetching anything.
write_manifest "serial=4" "expires=$(utc_in 3600)"
curl -sf "$base/gamehome/talmar2/update.txt" >"$private_tmp/update.txt"
curl -sf "$base/gamehome/talmar2/update.txt.sig" >"$private_tmp/update.txt.sig"
fetched=$(grep -c 'request: GET /gamehome/talmar2/files/' "$work/portal.log" || true)
CLIENT_BASE_URL=$base "$SIGNED_UPDATER_EXE" "$inst|$inst/Zorvik_talmar2" &
updater=$!
pids+=($updater)
answer_end_message
[ "$(grep -c 'request: GET /gamehome/talmar2/files/' "$work/portal.log" || true)" = "$fetched" ] \
  || fail "the updater fetched files for a replayed manifest"
client_works "updater, replayed serial" "" current
cmp -s "$inst/Zorvik_talmar2" "$CLIENT_EXE" || fail "the updater changed the client"

# An update killed between its renames: the web module is already the new one, the client not.
# dead_pid: a process id that no longer runs (the journal's writer).
sleep 0 &
dead_pid=$!
wait $dead_pid
killed_between_renames() {
  cp "$NEXT_WEB_MODULE" "$inst/.talmar2-update-aaaaaa"
  cp "$NEXT_CLIENT_EXE" "$inst/.talmar2-update-bbbbbb"
  chmod 755 "$inst/.talmar2-update-bbbbbb"
  {
    printf 'talmar2-update-journal 1 %s\n' "$dead_pid"
    printf '.talmar2-update-aaaaaa\tlibtalmar2-web.so\t.talmar2-update-aaaaaa-old\t1\n'
    printf '%s\t%s\t.talmar2-update-bbbbbb-old\t%s\n' .talmar2-update-bbbbbb "$1" "$2"
  } >"$inst/.talmar2-update-journal"
  mv "$inst/libtalmar2-web.so" "$inst/.talmar2-update-aaaaaa-old"
  mv "$inst/.talmar2-update-aaaaaa" "$inst/libtalmar2-web.so"
}
no_update_files_left() {
  [ -z "$(ls -A "$inst" | grep '^\.talmar2-update-' || true)" ] || fail "$1: $(ls -A "$inst")"
}
write_manifest "serial=6" "expires=$(utc_in 3600)"
# Finished: the old client starts, completes the renames and hands over to the new client.
killed_between_renames Zorvik_talmar2 1
client_works "roll forward" start current
cmp -s "$inst/Zorvik_talmar2" "$NEXT_CLIENT_EXE" || fail "roll forward: the client is not the new one"
cmp -s "$inst/libtalmar2-web.so" "$NEXT_WEB_MODULE" || fail "roll forward: the module is not the new one"
no_update_files_left "roll forward"
# Undone: the second rename cannot be done (its target is a directory); the module comes back.
install_client
mkdir "$inst/extra.dat"
killed_between_renames extra.dat 1
client_works "roll back" start
cmp -s "$inst/libtalmar2-web.so" "$WEB_MODULE" || fail "roll back: the previous module is not back"
cmp -s "$inst/Zorvik_talmar2" "$CLIENT_EXE" || fail "roll back: the client changed"
no_update_files_left "roll back"
rmdir "$inst/extra.dat"

# A read-only client directory (a read-only bind mount): no update is offered.
mount --bind "$inst" "$inst"
trap 'umount -l "$inst" 2>/dev/null || true; cleanup' EXIT
mount -o remount,bind,ro "$inst"
no_update_offered "read-only directory"
umount "$inst"
echo "update security: ok"
