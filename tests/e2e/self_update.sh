#!/usr/bin/env bash
# The whole self-update: a client installed in a directory of its own finds the next version on
# the demo portal, the user accepts, the updater shows its progress, replaces the web module and
# the client (listed last), says so, and the client it starts is the new version.
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/update.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

install_client
serve_next_version --rate 4000000
run_client_to_updater

# The progress bar moves while the client arrives.
wait_part_growing || fail "no download into the client's directory was seen"
import -window root "${E2E_SHOTS:-$work}/update-progress.png" 2>/dev/null || true
answer_end_message

cmp -s "$inst/Zorvik_talmar2" "$NEXT_CLIENT_EXE" || fail "the client was not replaced"
cmp -s "$inst/libtalmar2-web.so" "$NEXT_WEB_MODULE" || fail "the web module was not replaced"
[ "$("$inst/Zorvik_talmar2" --version)" = "$NEXT_VERSION" ] || fail "the installed client is not $NEXT_VERSION"
[ "$(stat -c %a "$inst/Zorvik_talmar2")" = 755 ] || fail "the new client is not executable"
[ "$(stat -c %a "$inst/libtalmar2-web.so")" = 644 ] || fail "the web module was made executable"
[ -z "$(ls -A "$inst" | grep '^\.talmar2-update-' || true)" ] || fail "temporary files were left in $inst"
# The updater started the new client, which finds itself current and shows the login screen.
wait_client_running || fail "the new client was not started"
wait_login_page || fail "the new client did not reach its login page"
for p in $(pgrep -f "^$inst/Zorvik_talmar2" || true); do kill "$p"; wait_exit "$p"; done

# A manifest whose last file is not the client: that file is installed, but neither made
# executable nor handed to the desktop to open (a handler could run it); the client is started.
printf 'version=x\r\nm|%s/gamehome/talmar2/files/libtalmar2-web.so\r\n' "$base" >"$private_tmp/update.txt"
rm -f "$inst/libtalmar2-web.so"
# A desktop handler for the module's type records whatever it is given.
fake_browser
sed -i 's|^MimeType=.*|MimeType=application/x-sharedlib;application/octet-stream;|' \
  "$XDG_DATA_HOME/applications/test-browser.desktop"
printf 'application/x-sharedlib=test-browser.desktop\napplication/octet-stream=test-browser.desktop\n' \
  >>"$XDG_CONFIG_HOME/mimeapps.list"
CLIENT_BASE_URL=$base "$UPDATER_EXE" "$inst|$inst/Zorvik_talmar2" &
updater=$!
pids+=($updater)
answer_end_message
cmp -s "$inst/libtalmar2-web.so" "$NEXT_WEB_MODULE" || fail "the last file was not installed"
[ "$(stat -c %a "$inst/libtalmar2-web.so")" = 644 ] || fail "a fetched file was made executable"
wait_client_running || fail "the client was not started after an update whose last file is another"
sleep 1
[ ! -s "$work/browser.log" ] || fail "the last file was handed to a desktop handler: $(cat "$work/browser.log")"
echo "self update: ok"
