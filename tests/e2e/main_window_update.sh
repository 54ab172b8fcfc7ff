#!/usr/bin/env bash
# The update check from the main window's program menu against the demo portal: with the
# client's own version the portal's answer is "up to date" and the client goes on; with another
# version the update is offered, and "是" starts the updater and ends the whole client (a login
# screen of another login too) without the exit question.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

# The start-up check of another version asks first: not now.
decline_update() {
  local box
  box=$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null | head -n 1 || true)
  [ -z "$box" ] || xdotool windowactivate --sync "$box" key --clearmodifiers alt+n
}

# login: starts the client, logs in on the demo page and sets $client and $main.
login() {
  CLIENT_BASE_URL=$base "$CLIENT_EXE" &
  client=$!
  pids+=($client)
  local bg x y
  bg=$(login_screen "$client" decline_update) || fail "no login screen"
  read -r x y _ _ < <(geometry "$bg")
  sleep 0.5
  xdotool mousemove $((x + 415 + 374)) $((y + 179 + 264)) click 1
  main=$(wait_window "ZorvikTalmar2客户端" 15) || fail "no main window after the login"
  sleep 1
}

# choose_update: the tool button, then the menu's fifth line (after the separator), "更新".
choose_update() {
  local x y w h
  read -r x y w h < <(geometry "$main")
  xdotool mousemove $((x + (w * 15 - 1825) / 15 + 12)) $((y + 10)) click 1
  sleep 0.7
  xdotool key Down Down Down Down Return
}

# The portal has our version: one box, OK, and the client goes on.
start_portal --version "$CLIENT_VERSION"
login
choose_update
box=$(wait_window "提示" 20) || fail "no box after the update check"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
for _ in $(seq 1 50); do [ -z "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null)" ] && break; sleep 0.1; done
sleep 0.5
kill -0 "$client" 2>/dev/null || fail "the client ended after the up-to-date box"
[ -n "$(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null)" ] || fail "the main window went"
[ ! -e "$private_tmp/Update" ] || fail "an updater was written for the same version"
grep -q "version=$CLIENT_VERSION" "$private_tmp/update.txt" || fail "the manifest was not fetched"
fetched=$(grep -c '^request: GET /gamehome/talmar2/update.txt$' "$work/portal.log" || true)
[ "$fetched" -eq 2 ] || fail "the manifest was fetched $fetched times; expected at start and from the menu"
kill "$client"
wait_exit "$client"
kill "${pids[0]}"

# Another version, with the login screen of another login open as well: the question, 是 (the
# default button), the updater, the whole client gone (the login screen too).
start_portal --version 9.9.9
login
read -r x y w h < <(geometry "$main")
xdotool mousemove $((x + w - 323 + 50)) $((y + 11)) click 1
login_screen "$client" >/dev/null || fail "no login screen of another login"
sleep 0.5
choose_update
box=$(wait_window "提示" 20) || fail "no update question"
xdotool windowactivate --sync "$box" key --clearmodifiers Return
wait_exit "$client" 20
wait_window "更新" 30 >/dev/null || fail "the updater's window did not appear"
updater=$(pgrep -f "^$private_tmp/Update " | head -n 1)
[ -n "$updater" ] || fail "no updater process"
pids+=($updater)
echo "main window update: ok"
