#!/usr/bin/env bash
# What a user sees when the client cannot go on: "/web" with no default browser is reported in a
# box (and once on stderr) before the client ends with a failure; a missing web module is reported in a box instead
# of a splash that stays for good, and the client ends with a failure; so is a login window that
# cannot load (no private temporary directory can be made).
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

start_portal
# No browser: the desktop knows none for http (a fresh XDG setup with nothing registered).
CLIENT_BASE_URL=$base "$CLIENT_EXE" /web 2>"$work/web.err" &
client=$!
pids+=($client)
box=$(wait_window "提示" 20) || fail "/web without a default browser showed nothing"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
status=0
for _ in $(seq 1 100); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
wait "$client" || status=$?
[ "$status" -ne 0 ] || fail "/web without a browser ended with status 0"
[ "$(grep -c "no default browser" "$work/web.err")" -eq 1 ] \
  || fail "/web without a browser: not one line on stderr: $(cat "$work/web.err")"
# Every line on stderr carries the program's prefix; the web processes' noise stays off.
bad=$(grep -v '^Zorvik_talmar2: ' "$work/web.err" || true)
[ -z "$bad" ] || fail "stderr lines without the prefix: $bad"

CLIENT_WEB_MODULE=$work/missing.so CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示" 30) || fail "no message for a missing web module"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
status=0
for _ in $(seq 1 100); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
wait "$client" || status=$?
[ "$status" -eq 1 ] || fail "the client ended with $status after a missing web module, expected 1"
# A login window whose load step fails.
touch "$work/not-a-directory"
TMPDIR=$work/not-a-directory XDG_CACHE_HOME=$work/not-a-directory CLIENT_BASE_URL=$base \
  "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示" 30) || fail "no message for a login window that cannot load"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
status=0
for _ in $(seq 1 100); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
wait "$client" || status=$?
[ "$status" -eq 1 ] || fail "the client ended with $status after its login window failed, expected 1"
echo "startup failures: ok"
