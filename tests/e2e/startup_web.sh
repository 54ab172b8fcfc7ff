#!/usr/bin/env bash
# "/web": the update check runs first, then the home page goes to the user's default browser and
# the client ends (status 0), and no window of the client is ever mapped, not even while a slow
# update server keeps the check waiting. Without a default browser for http, the commands of
# BROWSER are tried in order (colon-separated, "%s" standing for the address).
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

# run_web [VARIABLE=VALUE...]: "/web" with the update server slow to answer; fails when the
# client maps a window or ends with a status other than 0.
run_web() {
  "$X_HELPER" watch-maps 30 >"$work/maps.log" &
  local watcher=$! client
  pids+=($watcher)
  wait_file "$work/maps.log" 5
  env "$@" CLIENT_BASE_URL=$base "$CLIENT_EXE" /web &
  client=$!
  pids+=($client)
  wait_status "$client" 0 30
  # A map the server has not reported yet arrives within a moment.
  sleep 0.5
  kill "$watcher"
  ! grep -q " $client\$" "$work/maps.log" || fail "/web mapped a window: $(grep " $client\$" "$work/maps.log")"
}

start_portal --manifest-delay 3000
fake_browser
run_web
wait_file "$work/browser.log"
[ "$(head -n 1 "$work/browser.log")" = "$base/" ] || fail "browser got '$(cat "$work/browser.log")', expected '$base/'"
grep -q '^request: GET /gamehome/talmar2/update.txt$' "$work/portal.log" \
  || fail "the update check did not run before the home page opened"

# No default browser: BROWSER's first command that can be started takes the address.
rm -f "$XDG_CONFIG_HOME/mimeapps.list" "$XDG_DATA_HOME/applications/test-browser.desktop" "$work/browser.log"
run_web BROWSER="$work/no-such-browser:$work/browser.sh --new-tab=%s"
wait_file "$work/browser.log"
[ "$(head -n 1 "$work/browser.log")" = "--new-tab=$base/" ] \
  || fail "BROWSER got '$(cat "$work/browser.log")', expected '--new-tab=$base/'"
echo "/web road: ok"
