#!/usr/bin/env bash
# "/web": the update check runs first, then the home page goes to the user's default browser and
# the client ends without showing a window of its own.
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
shown=0
for _ in $(seq 1 200); do
  kill -0 "$client" 2>/dev/null || break
  if [ -n "$(xdotool search --onlyvisible --pid "$client" 2>/dev/null)" ]; then shown=1; fi
  sleep 0.05
done
wait_exit "$client"
[ "$shown" -eq 0 ] || fail "the client showed a window on the /web road"
wait_file "$work/browser.log"
[ "$(head -n 1 "$work/browser.log")" = "$base/" ] || fail "browser got '$(cat "$work/browser.log")', expected '$base/'"
grep -q '^request: GET /gamehome/talmar2/update.txt$' "$work/portal.log" \
  || fail "the update check did not run before the home page opened"
echo "/web road: ok"
