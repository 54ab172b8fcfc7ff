#!/usr/bin/env bash
# A login page that is slow but alive is waited for: only a page from which nothing new comes for
# 20 s is given up. The update question held for 25 s, then 否, then a page that comes 6 s late:
# the login screen, no notice; a page that trickles in over 40 s: the login screen, no notice.
# Mostly waiting, so it runs on a desktop of its own, beside the other tests.
[ -n "${OWN_DESKTOP:-}" ] || OWN_DESKTOP=1 exec "$SOURCE_DIR/tools/with-desktop.sh" bash "$0" "$@"
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

now_ms() { echo $(($(date +%s%N) / 1000000)); }
no_notice() {
  ! grep -aq '^\[boxes\] 提示 | 未能连接到服务器' "$work/stderr.log" || fail "the connection notice came ($1)"
}

# The question stands 25 s; 否; the page comes 6 s after its request.
start_portal --version 9.9.9 --login-delay 6000
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示" 30) || fail "no update question"
expect_box 提示 "发现有新版本，是否现在更新！"
sleep 25
xdotool windowactivate --sync "$box" key --clearmodifiers alt+n
login_screen "$client" no_notice "question held" >/dev/null || fail "no login screen after the question"
no_notice "question held"
kill "$client"
wait_exit "$client"
kill "${pids[0]}"

# The page arrives a piece every 2 s for 40 s.
start_portal --login-trickle 40000
start=$(now_ms)
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
shown=
for _ in $(seq 1 5); do
  no_notice "trickle"
  shown=$(login_screen "$client" no_notice "trickle") && break
done
[ -n "$shown" ] || fail "the trickling page never showed the login screen"
took=$(($(now_ms) - start))
echo "login screen after $took ms"
[ "$took" -ge 36000 ] || fail "the login screen came after $took ms, before the page had arrived"
no_notice "trickle"
echo "slow login page: ok"
