#!/usr/bin/env bash
# What a screen reader sees of the client over the accessibility bus, and the whole road by the
# keyboard alone. The login screen and the main window list their controls with roles, names,
# states and actions; actions pressed over the bus close and answer, select and close tabs.
# Then a player who never touches the pointer (it stays in a corner, no step moves or clicks
# it) signs in, switches and closes tabs, opens the program menu, mutes a tab, answers the exit
# question and leaves.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

# The toolkit's bridge to the bus (the other tests keep it off), and the bus of this session.
unset NO_AT_BRIDGE
/usr/libexec/at-spi-bus-launcher >/dev/null 2>&1 &
pids+=($!)
atspi() { /usr/bin/python3 "$SOURCE_DIR/tests/e2e/lib/atspi.py" "$@"; }

# expect_tree PID: every line of the standard input (indentation aside) is a line of the
# program's tree, within 10 s.
expect_tree() {
  local want tree missing
  want=$(cat)
  for _ in $(seq 1 50); do
    tree=$(atspi tree "$1" 2>/dev/null | sed 's/^ *//') || true
    missing=$(grep -vxF -f <(printf '%s\n' "$tree") <<<"$want" || true)
    [ -z "$missing" ] && return 0
    sleep 0.2
  done
  printf '%s\n' "$tree" >&2
  fail "not in the tree: $missing"
}
# until_tree PID PATTERN: waits up to 10 s for a line of the tree that matches PATTERN (grep -E).
until_tree() {
  for _ in $(seq 1 50); do
    grep -qE "$2" <<<"$(atspi tree "$1" 2>/dev/null | sed 's/^ *//')" && return 0
    sleep 0.2
  done
  atspi tree "$1" >&2 || true
  fail "nothing like /$2/ in the tree"
}
gone() { [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ]; }
until_gone() {
  for _ in $(seq 1 50); do gone "$1" && return 0; sleep 0.1; done
  fail "the window \"$1\" stayed"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

start_portal
xdotool mousemove 0 0
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
login_screen "$client" >/dev/null || fail "no login screen"

# ---- Over the bus ----
expect_tree "$client" <<'EOF'
push button "最小化" [focusable] <press>
push button "关闭" [focusable] <press>
EOF

# The login page has the keys: Tab to its first field, Enter submits.
key Tab
key Return
# The login screen (the 1237-pixel window) goes, the main window comes.
login_gone() {
  for id in $(xdotool search --onlyvisible --pid "$client" 2>/dev/null); do
    [ "$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}')" = 1237 ] && return 1
  done
  return 0
}
for _ in $(seq 1 150); do login_gone && break; sleep 0.1; done
login_gone || fail "the login screen stayed after signing in by keys"
wait_window "ZorvikTalmar2客户端" 15 >/dev/null || fail "no main window after signing in by keys"
"$CLIENT_EXE" --open "$base/games/talmar2/play/2" || fail "the running client refused the address"
expect_tree "$client" <<'EOF'
page tab list "标签页" [focusable]
push button "其他账号登录" [focusable] <press>
push button "游戏官网" [focusable] <press>
push button "菜单" [focusable] <press>
push button "最小化" [focusable] <press>
push button "关闭" [focusable] <press>
EOF
# The window starts maximised: its toggle is 还原, and 最大化 once restored.
until_tree "$client" '^toggle button "还原" \[focusable checked\] <press>$'
atspi do "$client" "toggle button" 还原 press || fail "no press on 还原"
until_tree "$client" '^toggle button "最大化" \[focusable\] <press>$'
atspi do "$client" "toggle button" 最大化 press || fail "no press on 最大化"
until_tree "$client" '^toggle button "还原" \[focusable checked\]'
until_tree "$client" '^page tab ".*" \[focusable selected\] <select close mute>$'
[ "$(atspi tree "$client" | grep -c '^ *page tab "')" = 2 ] || fail "not two page tabs"

# The close button asks; its question is an alert with the buttons 是 and 否.
atspi do "$client" "push button" 关闭 press || fail "no press on 关闭"
expect_tree "$client" <<'EOF'
alert "提示" {窗口即将关闭，确定要退出游戏？}
label "窗口即将关闭，确定要退出游戏？"
push button "是" [focusable focused] <press>
push button "否" [focusable] <press>
EOF
atspi do "$client" "push button" 否 press || fail "no press on 否"
until_gone 提示
# The first tab selected and the second closed, by their actions.
first=$(atspi tree "$client" | sed -n 's/^ *page tab "\(.*\)" \[focusable\].*/\1/p' | head -n 1)
[ -n "$first" ] || fail "no unselected tab"
atspi do "$client" "page tab" "$first" select || fail "no select"
until_tree "$client" "^page tab \"$first\" \[focusable selected\]"
atspi do "$client" "page tab" "*" close || true
for _ in $(seq 1 50); do
  [ "$(atspi tree "$client" | grep -c '^ *page tab "')" = 1 ] && break
  sleep 0.2
done
[ "$(atspi tree "$client" | grep -c '^ *page tab "')" = 1 ] || fail "the tab did not close"

# ---- Keys only ----
"$CLIENT_EXE" --open "$base/games/talmar2/play/3" || fail "the running client refused the address"
until_tree "$client" '^page tab ".*" \[focusable selected\]'
first=$(atspi tree "$client" | sed -n 's/^ *page tab "\([^"]*\)".*/\1/p' | head -n 1)
sleep 1
# F6 moves round the strip, the title buttons and the page: at most thrice to the strip. Left
# to the first tab, Enter selects it.
for _ in 1 2 3; do
  key F6
  tree=$(atspi tree "$client")
  grep -q '^ *page tab list "标签页" \[focusable focused\]' <<<"$tree" && break
done
until_tree "$client" '^page tab list "标签页" \[focusable focused\]'
key Left
key Return
until_tree "$client" "^page tab \"$first\" \[focusable focused selected\]"
# The tab's menu (the context-menu key): 静音 mutes it.
key Menu
sleep 0.5
key Down Down Return
until_tree "$client" "^page tab \"$first\" .*\{.*已静音\}"
# Right to the other tab, Delete closes it.
key Right
key Delete
for _ in $(seq 1 50); do
  [ "$(atspi tree "$client" | grep -c '^ *page tab "')" = 1 ] && break
  sleep 0.2
done
[ "$(atspi tree "$client" | grep -c '^ *page tab "')" = 1 ] || fail "Delete did not close the tab"
# F6 on to the title buttons (菜单 first); Enter opens the program menu, Escape closes it.
key F6
until_tree "$client" '^push button "菜单" \[focusable focused\]'
key Return
sleep 0.5
key Escape
# F6 on to the page (none of ours has the focus), and round to the strip.
key F6
until_tree "$client" '^push button "菜单" \[focusable\]'
atspi tree "$client" | grep -qE '^ *(push button|page tab list) ".*" \[.*focused' &&
  fail "F6 left the focus on one of the window's own controls"
key F6
until_tree "$client" '^page tab list "标签页" \[focusable focused\]'
# Alt+F4 asks; Right moves to 否 and Enter keeps the client; then Enter on 是 ends it.
key alt+F4
wait_window 提示 10 >/dev/null || fail "no exit question"
key Right Return
until_gone 提示
kill -0 "$client" 2>/dev/null || fail "the client ended after 否"
key alt+F4
wait_window 提示 10 >/dev/null || fail "no exit question"
key Return
wait_exit "$client"
echo "accessibility: ok"
