#!/usr/bin/env bash
# Signed manifests, with a client and updater built with the tests' public key: an unsigned
# manifest is never offered; a signed one updates the client; a manifest changed after signing
# is refused by the updater before it fetches anything.
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/update.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi
CLIENT_EXE=$SIGNED_CLIENT_EXE

# Unsigned: no question, the client goes on to its login page.
install_client
serve_next_version --sign-key /nonexistent
CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
pids+=($!)
wait_login_page || fail "unsigned: the client did not reach its login page"
[ -z "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null || true)" ] \
  || fail "unsigned: an update was offered"
grep -q 'request: GET /gamehome/talmar2/update.txt.sig' "$work/portal.log" \
  || fail "unsigned: the signature was not asked for"
kill "${pids[-1]}"
wait_exit "${pids[-1]}"
kill "${pids[0]}"  # the portal

# Signed: the whole update.
start_portal --manifest "$work/update.txt" --files "$files" --sign-key "$TEST_UPDATE_KEY"
write_manifest "serial=1" "expires=$(utc_in 86400)"
run_client_to_updater
answer_end_message
cmp -s "$inst/Zorvik_talmar2" "$NEXT_CLIENT_EXE" || fail "signed: the client was not replaced"
wait_client_running || fail "signed: the new client was not started"
for p in $(pgrep -f "^$inst/Zorvik_talmar2" || true); do kill "$p"; wait_exit "$p"; done

# Changed after signing: the updater, started as the client starts it, refuses and starts the
# previous client again.
install_client
cp "$work/update.txt" "$private_tmp/update.txt"
curl -sf "$base/gamehome/talmar2/update.txt.sig" >"$private_tmp/update.txt.sig"
printf 'extra|%s/gamehome/talmar2/files/libtalmar2-web.so\r\n' "$base" >>"$private_tmp/update.txt"
fetched=$(grep -c 'request: GET /gamehome/talmar2/files/' "$work/portal.log" || true)
CLIENT_BASE_URL=$base "$SIGNED_UPDATER_EXE" "$inst|$inst/Zorvik_talmar2" &
updater=$!
pids+=($updater)
wait_window "更新" 30 >/dev/null || fail "changed: no updater window"
answer_end_message
[ "$(grep -c 'request: GET /gamehome/talmar2/files/' "$work/portal.log" || true)" = "$fetched" ] \
  || fail "changed: files were fetched for a manifest that does not verify"
expect_old_client_back "changed"
echo "signed self update: ok"
