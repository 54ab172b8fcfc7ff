#!/usr/bin/env bash
# The real client finds another version on the update server: declined, it goes on to the splash
# and writes no updater; accepted, the embedded updater is written to the private temporary directory and
# started with the client's directory and executable, and the client ends. With no file lines in
# the manifest the updater installs nothing, says so as a failed update and starts the client
# again. The demo portal's own manifest (a version and --files) is a real update.
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/update.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

start_portal --version 9.9.9

# Declined.
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示") || fail "no update question appeared"
xdotool windowactivate --sync "$box" key --clearmodifiers alt+n
# The start-up goes on to the splash (the question box is gone by then).
for _ in $(seq 1 100); do
  [ -z "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null)" ] \
    && [ -n "$(xdotool search --onlyvisible --pid "$client" 2>/dev/null)" ] && break
  sleep 0.1
done
kill -0 "$client" 2>/dev/null || fail "the client ended after the update was declined"
kill "$client"
[ -f "$private_tmp/update.txt" ] || fail "the manifest was not downloaded"
grep -q 'version=9.9.9' "$private_tmp/update.txt" || fail "unexpected manifest"
[ ! -e "$private_tmp/Update" ] || fail "an updater was written although the user declined"
[ "$(stat -c %a "$private_tmp")" = 700 ] || fail "the temporary directory is not private"

# Accepted (Return takes the default button, Yes).
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示") || fail "no update question appeared"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
wait_exit "$client"
cmp -s "$private_tmp/Update" "$UPDATER_EXE" || fail "the updater written differs from the one built"
wait_window "更新" 30 >/dev/null || fail "the updater's window did not appear"
updater=$(pgrep -f "^$private_tmp/Update " | head -n 1)
[ -n "$updater" ] || fail "no updater process"
pids+=($updater)
exe=$(readlink -f "$CLIENT_EXE")
expected="$(dirname "$exe")|$exe"
got=$(tr '\0' '\n' <"/proc/$updater/cmdline" | sed -n 2p)
[ "$got" = "$expected" ] || fail "updater started with '$got', expected '$expected'"
# While it runs, a second updater of the same user ends at once, as does one without arguments.
timeout 5 "$private_tmp/Update" "/nonexistent|/nonexistent/x" || fail "a second updater did not end at once"
timeout 5 "$private_tmp/Update" || fail "an updater without arguments did not end at once"
box=$(wait_window "提示") || fail "the updater showed no end message"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
wait_exit "$updater"
# Nothing was installed, and still a client runs again: it asks about the update once more.
for _ in $(seq 1 100); do
  again=$(pgrep -f "^$exe" | head -n 1 || true)
  [ -n "$again" ] && break
  sleep 0.1
done
[ -n "$again" ] || fail "no client was started after an update without files"
pids+=($again)
wait_window "提示" 30 >/dev/null || fail "the restarted client did not ask about the update"
kill "$again"
wait_exit "$again"
kill "${pids[0]}"  # the portal

# The demo portal's road: the version it announces and the files of --files, each with its hash.
install_client
mkdir -p "$files"
cp "$NEXT_CLIENT_EXE" "$files/Zorvik_talmar2"
cp "$NEXT_WEB_MODULE" "$files/libtalmar2-web.so"
start_portal --version "$NEXT_VERSION" --files "$files"
run_client_to_updater
answer_end_message
cmp -s "$inst/Zorvik_talmar2" "$NEXT_CLIENT_EXE" || fail "demo: the client was not replaced"
cmp -s "$inst/libtalmar2-web.so" "$NEXT_WEB_MODULE" || fail "demo: the web module was not replaced"
wait_client_running || fail "demo: the new client was not started"
wait_login_page || fail "demo: the new client did not reach its login page"
echo "update hand-over: ok"
