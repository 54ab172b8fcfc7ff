#!/usr/bin/env bash
# The normal road: a command line other than exactly "/web" ("/WEB", "/web x", none) and a
# declined update lead to the splash, 356 x 122 and centred on the screen. While the update
# question stands, the splash is hidden: the question is the client's only window.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

fake_browser
expect_splash() {
  local client=$1 label=$2 id geom
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --pid "$client" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || fail "no splash ($label)"
  read -r w h < <(xwininfo -id "$id" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
  read -r x y < <(xwininfo -id "$id" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print x, y}')
  read -r sw sh < <(xdpyinfo | awk '/dimensions:/{split($2, a, "x"); print a[1], a[2]}')
  [ "$w" = 356 ] && [ "$h" = 122 ] || fail "splash is ${w}x${h} ($label)"
  [ "$x" = $(((sw - 356) / 2)) ] && [ "$y" = $(((sh - 122) / 2)) ] \
    || fail "splash at $x,$y is not centred on ${sw}x${sh} ($label)"
}

start_portal
for args in "/WEB" "/web x" ""; do
  CLIENT_BASE_URL=$base "$CLIENT_EXE" $args &
  client=$!
  pids+=($client)
  expect_splash "$client" "args '$args'"
  kill "$client"
done
[ ! -e "$work/browser.log" ] || fail "the home page was opened on the normal road"

# An update declined: the start-up goes on to the splash.
kill "${pids[0]}"
start_portal --version 9.9.9
CLIENT_BASE_URL=$base "$CLIENT_EXE" &
client=$!
pids+=($client)
box=$(wait_window "提示") || fail "no update question"
shown=$(xdotool search --onlyvisible --pid "$client" 2>/dev/null | grep -vx "$box" || true)
[ -z "$shown" ] || fail "windows beside the update question: $shown"
xdotool windowactivate --sync "$box" key --clearmodifiers alt+n
for _ in $(seq 1 100); do
  [ -z "$(xdotool search --onlyvisible --name '^提示$' 2>/dev/null)" ] && break
  sleep 0.1
done
expect_splash "$client" "update declined"
kill "$client"
echo "splash road: ok"
