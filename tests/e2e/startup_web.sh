#!/usr/bin/env bash
# "/web": the update check runs first, with the splash up while it waits, then the home page goes
# to the user's default browser and the client ends (status 0).
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

fake_browser
start_portal
CLIENT_BASE_URL=$base "$CLIENT_EXE" /web &
client=$!
pids+=($client)
for _ in $(seq 1 200); do kill -0 "$client" 2>/dev/null || break; sleep 0.05; done
status=0
wait "$client" || status=$?
[ "$status" -eq 0 ] || fail "/web ended with $status"
wait_file "$work/browser.log"
[ "$(head -n 1 "$work/browser.log")" = "$base/" ] || fail "browser got '$(cat "$work/browser.log")', expected '$base/'"
grep -q '^request: GET /gamehome/talmar2/update.txt$' "$work/portal.log" \
  || fail "the update check did not run before the home page opened"
echo "/web road: ok"
