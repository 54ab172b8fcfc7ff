#!/usr/bin/env bash
# Offline (a network namespace with only loopback): the client shows only the "提示" warning,
# asks the update server nothing, shows no splash, and ends with status 5 once the warning is
# closed; the same with "/web".
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns offline bash "$0" inside
  exit
fi

start_portal --version 9.9.9
for args in "" "/web"; do
  CLIENT_BASE_URL=$base "$CLIENT_EXE" $args &
  client=$!
  pids+=($client)
  box=$(wait_window "提示") || fail "no warning appeared ($args)"
  expect_box 提示 "未能连接到服务器，请检查网络连接是否正常！"
  # The warning is the only window of the client: no splash behind it.
  n=$(xdotool search --onlyvisible --pid "$client" 2>/dev/null | wc -l)
  [ "$n" -eq 1 ] || fail "$n windows of the client are visible, expected only the warning ($args)"
  kill -0 "$client" || fail "the client ended before the warning was answered"
  xdotool windowactivate --sync "$box" key --clearmodifiers Return
  wait_status "$client" 5
done
if grep -q '^request:' "$work/portal.log"; then
  fail "an offline client sent requests: $(grep '^request:' "$work/portal.log")"
fi
[ ! -e "$private_tmp/update.txt" ] || fail "a manifest was written while offline"
echo "offline road: ok"
