#!/usr/bin/env bash
# "--open" and the session bus from start-up on: "--help" prints the usage without a display;
# only http and https addresses are taken (anything else: status 4, one line on stderr, no tab);
# an address handed over while only the login screen is up waits and becomes a tab when the
# main window comes; with no client running the caller is told so plainly (status 3).
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

out=$(env -u DISPLAY "$CLIENT_EXE" --help) || fail "--help ended with a failure"
grep -q -- "--open" <<<"$out" || fail "--help printed: $out"

start_portal
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
bg=$(login_screen "$client") || fail "no login screen"

"$CLIENT_EXE" --open "$base/games/talmar2/play/7" || fail "the login screen's client refused an address"
for bad in 'javascript:alert(1)' 'file:///etc/passwd' 'data:text/html,<p>x' 'ftp://127.0.0.1/x' 'not a url'; do
  status=0
  "$CLIENT_EXE" --open "$bad" 2>"$work/open.err" || status=$?
  [ "$status" -eq 4 ] || fail "--open '$bad': status $status"
  [ "$(wc -l <"$work/open.err")" -eq 1 ] && grep -q '^Zorvik_talmar2: .*not an http or https address' "$work/open.err" \
    || fail "--open '$bad' said: $(cat "$work/open.err")"
done
# The service itself refuses them too (a caller other than "--open").
for bad in 'javascript:alert(1)' 'file:///etc/passwd'; do
  if gdbus call --session --dest net.zorvik.talmar2.VelmoraDDE --object-path /net/zorvik/talmar2/VelmoraDDE \
    --method net.zorvik.talmar2.DDE.Execute "$bad" >/dev/null 2>&1; then
    fail "the session bus took '$bad'"
  fi
done

read -r x y _ _ < <(geometry "$bg")
sleep 0.5
xdotool mousemove $((x + 415 + 374)) $((y + 179 + 264)) click 1
wait_window "ZorvikTalmar2客户端" 15 >/dev/null || fail "no main window after the login"
for path in /games/talmar2/play/1 /games/talmar2/play/7; do
  for _ in $(seq 1 100); do grep -q "^request: GET $path\$" "$work/portal.log" && break; sleep 0.1; done
  grep -q "^request: GET $path\$" "$work/portal.log" || fail "no tab for $path"
done
"$CLIENT_EXE" --open "$base/games/talmar2/play/9" || fail "the main window refused an address"
for _ in $(seq 1 100); do grep -q "^request: GET /games/talmar2/play/9\$" "$work/portal.log" && break; sleep 0.1; done
grep -q "^request: GET /games/talmar2/play/9\$" "$work/portal.log" || fail "no tab for play/9"
kill "$client"
wait_exit "$client"

status=0
"$CLIENT_EXE" --open "$base/games/talmar2/play/2" 2>"$work/open.err" || status=$?
[ "$status" -eq 3 ] || fail "--open without a client: status $status"
grep -q "no running client to open the address in" "$work/open.err" || fail "--open without a client said: $(cat "$work/open.err")"
echo "open road: ok"
