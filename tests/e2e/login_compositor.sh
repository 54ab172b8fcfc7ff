#!/usr/bin/env bash
# The login screen under a compositor, started 30 times: every time its background shows its
# picture (not a black rectangle) where the picture is opaque and nothing of ours lies above.
# LOGIN_RUNS sets the number of starts, LOGIN_SHOTS a directory for pictures of black ones.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

xcompmgr >/dev/null 2>&1 &
pids+=($!)
start_portal
runs=${LOGIN_RUNS:-30}
black=0
for i in $(seq 1 "$runs"); do
  CLIENT_BASE_URL=$base "$CLIENT_EXE" &
  client=$!
  bg=$(login_screen "$client") || fail "run $i: no login screen"
  read -r x y _ _ < <(geometry "$bg")
  # Three points of the picture outside the page and the buttons: the figure's cape, the
  # frame's lower edge, the figure's shoulder.
  sleep 1
  import -window root -crop 1237x696+"$x"+"$y" +repage "$work/shot.png"
  px=$(convert "$work/shot.png" -format '%[pixel:p{100,300}] %[pixel:p{1000,630}] %[pixel:p{300,190}]' info:)
  case "$px" in
    *black*|*"srgb(0,0,0)"*)
      black=$((black + 1))
      [ -n "${LOGIN_SHOTS:-}" ] && cp "$work/shot.png" "$LOGIN_SHOTS/login-black-$i.png"
      echo "run $i: black background ($px)" ;;
  esac
  kill "$client" 2>/dev/null || true
  wait "$client" 2>/dev/null || true
done
[ "$black" -eq 0 ] || fail "the background was black in $black of $runs starts"
echo "login under a compositor: ok ($runs starts)"
