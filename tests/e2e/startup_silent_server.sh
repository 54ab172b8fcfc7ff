#!/usr/bin/env bash
# A server that takes connections and never answers: the splash is on the screen while the
# update check still waits, an address handed over meanwhile is taken (for the main window to
# come), and the connection notice comes about 20 s after the login page was asked for (nothing
# of it came meanwhile). Once the notice is up the client is ending: an address is refused, the
# caller is told so, and the client ends with status 6 after the notice.
# Mostly waiting, so it runs on a desktop of its own, beside the other tests.
[ -n "${OWN_DESKTOP:-}" ] || OWN_DESKTOP=1 exec "$SOURCE_DIR/tools/with-desktop.sh" bash "$0" "$@"
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

"$SILENT_SERVER" 90 >"$work/silent.log" &
pids+=($!)
for _ in $(seq 1 100); do grep -q '^listening on ' "$work/silent.log" && break; sleep 0.05; done
base=$(sed -n 's/^listening on //p' "$work/silent.log")
[ -n "$base" ] || fail "the silent server did not start"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
start=$(now_ms)
CLIENT_BASE_URL=$base "$CLIENT_EXE" 2>"$work/client.err" &
client=$!
pids+=($client)
splash=
for _ in $(seq 1 100); do
  splash=$(xdotool search --onlyvisible --pid "$client" 2>/dev/null | head -n 1 || true)
  [ -n "$splash" ] && break
  sleep 0.05
done
[ -n "$splash" ] || fail "nothing on the screen while the update check waits"
shown=$(($(now_ms) - start))
echo "splash after $shown ms"
# The manifest's wait alone is 15 s: the splash came before it ended.
[ "$shown" -lt 5000 ] || fail "the splash came after $shown ms"
[ "$(xwininfo -id "$splash" | awk '/Width:/{print $2}')" = 356 ] || fail "the first window is not the splash"
grep -q '^connection' "$work/silent.log" || sleep 1
grep -q '^connection' "$work/silent.log" || fail "the update check did not reach the server"
[ -z "${SCREENSHOT:-}" ] || import -window root "$SCREENSHOT"

# An address that comes before the main window is kept.
"$CLIENT_EXE" --open "$base/games/talmar2/play/7" || fail "an address during the update check was refused"

# The manifest's connection first (given up after 15 s), then the login page's.
asked=
box=
for _ in $(seq 1 600); do
  [ -z "$asked" ] && grep -q '^connection 2$' "$work/silent.log" && asked=$(now_ms)
  box=$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null | head -n 1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no connection notice"
[ -n "$asked" ] || fail "the login page was never asked for"
took=$(($(now_ms) - asked))
echo "connection notice $took ms after the login page was asked for"
[ "$took" -ge 19000 ] && [ "$took" -le 24000 ] || fail "the connection notice came $took ms after the login page was asked for"
status=0
"$CLIENT_EXE" --open "$base/games/talmar2/play/8" 2>"$work/open.err" || status=$?
[ "$status" -eq 4 ] || fail "--open while the client ends: status $status"
grep -q "ending" "$work/open.err" || fail "--open while the client ends said: $(cat "$work/open.err")"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
status=0
for _ in $(seq 1 100); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
wait "$client" || status=$?
[ "$status" -eq 6 ] || fail "the client ended with $status after the notice, expected 6"
echo "silent server: ok"
