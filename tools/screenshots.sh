#!/usr/bin/env bash
# Photographs each screen of the client against the demo portal, on a private Xvfb desktop with
# openbox and a compositor (xcompmgr), and writes the pictures, cropped to the window, into
# docs/screens/ (or the directory given):
#   tools/screenshots.sh [DIR]
# splash.png, login.png, login-no-compositor.png, main.png (three tabs), exit-question.png,
# update-question.png, updater.png; for accounts side by side login-account.png (another
# account's login screen over the main window), accounts-tabs.png (tabs of two accounts),
# accounts-menu.png (the program menu with the accounts' items) and fullscreen.png.
# NOCOMPOSITOR=1 takes them without a compositor instead. BUILD_DIR selects the
# build tree (default: build/); what is missing there is built first. SCALE=2 takes them at a
# window scale of 2 (GDK_SCALE=2 on a 2560 x 1600 desktop) into DIR/2x/ instead. TEXT_DPI=144
# takes them at a text scale of 1.5 (the X resource Xft.dpi: 144, as a desktop's font settings
# set it) into DIR/text-1.5x/ instead. STAGES names the screens to take (default: "splash login
# update main accounts plain"); the stage accounts-plain takes the accounts' screens once more
# without a compositor, as ...-no-compositor.png, to compare (only the login screen's edges
# differ).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$(realpath -m "${1:-$root/docs/screens}")
k=${SCALE:-1}
[ "$k" = 1 ] || [ "$k" = 2 ] || { echo "screenshots: SCALE is 1 or 2" >&2; exit 2; }

if [ "${SCREENSHOTS_INSIDE:-}" != 1 ]; then
  bash "$root/tools/build.sh" Zorvik_talmar2 demo-portal >/dev/null
  [ "$k" = 1 ] || out=$out/${k}x
  [ -z "${TEXT_DPI:-}" ] || out=$out/text-$(awk "BEGIN{print ${TEXT_DPI} / 96}")x
  mkdir -p "$out"
  # 1280 x 800 (logical pixels): every window of the client fits with room around it.
  # Each screen on a desktop of its own: nothing an earlier client left behind shows in it.
  for stage in ${STAGES:-splash login update main accounts plain}; do
    SCREENSHOTS_INSIDE=1 SCREENSHOTS_STAGE=$stage \
      DESKTOP_SCREEN=${DESKTOP_SCREEN:-$((1280 * k))x$((800 * k))x24} \
      "$root/tools/with-desktop.sh" bash "$0" "$out" || { echo "screenshots: $stage failed" >&2; exit 1; }
  done
  exit 0
fi
stage=${SCREENSHOTS_STAGE:-}

work=$(mktemp -d /tmp/screenshots-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "screenshots: $*" >&2; exit 1; }

# A fresh user: no saved login, no cache, no update left from an earlier run.
export HOME=$work/home TMPDIR=$work/tmp XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data \
  XDG_CONFIG_HOME=$work/config GSETTINGS_BACKEND=memory
mkdir -p "$HOME" "$TMPDIR" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
# The toolkit's window scale: window sizes below are logical pixels times $k.
[ "$k" = 1 ] || export GDK_SCALE=$k
# The desktop's text scale, as the toolkit reads it from the X resources.
if [ -n "${TEXT_DPI:-}" ]; then
  xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "Xft.dpi:	${TEXT_DPI}
"
fi
# A grey desktop behind the shaped windows (the compositor paints its own, black, over it).
convert -size 16x16 'xc:#5a6473' "$work/desktop.png"
display -window root "$work/desktop.png" 2>/dev/null || true
compositor=""
# The accounts' screens once more without a compositor.
[ "$stage" = accounts-plain ] && NOCOMPOSITOR=1
start_compositor() {
  [ "${NOCOMPOSITOR:-}" = 1 ] && return 0
  xcompmgr >/dev/null 2>&1 &
  compositor=$!
  pids+=($compositor)
  sleep 0.5
}
start_compositor

# start_portal [args...]: a demo portal of its own; sets $base.
start_portal() {
  local log=$work/portal.$RANDOM.log
  "$build/tools/demoportal/demo-portal" "$@" >"$log" 2>&1 &
  portal=$!
  pids+=($portal)
  for _ in $(seq 1 100); do
    grep -qs '^listening on ' "$log" && break
    sleep 0.05
  done
  base=$(sed -n 's/^listening on //p' "$log")
  [ -n "$base" ] || fail "the demo portal did not start"
}
# stop PID...: ends the processes and waits until they are gone (killed after 10 s).
stop() {
  local p
  for p in "$@"; do
    kill "$p" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
}

# main_window PID: prints the id of the main window, the client's window that is neither the
# splash nor the login screen (it starts covering the work area); waits up to a minute.
main_window() {
  local id
  for _ in $(seq 1 120); do
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
      case $(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}') in
        '' | $((356 * k)) | $((1237 * k))) ;;
        *) echo "$id"; return 0 ;;
      esac
    done
    sleep 0.5
  done
  return 1
}

# window_of PID WIDTH [seconds]: the id of a visible window of the process that is WIDTH pixels
# wide (any width when WIDTH is "any"; then the widest).
window_of() {
  local pid=$1 width=$2 limit=${3:-30} id w best bw
  for _ in $(seq 1 $((limit * 10))); do
    best="" bw=0
    for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true); do
      w=$(xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}')
      [ -n "$w" ] || continue
      if [ "$width" = any ]; then
        [ "$w" -gt "$bw" ] && { best=$id; bw=$w; }
      elif [ "$w" = "$width" ]; then
        best=$id
      fi
    done
    [ -n "$best" ] && { echo "$best"; return 0; }
    sleep 0.1
  done
  return 1
}

# wait_title TITLE [seconds]: the id of a visible window with that title.
wait_title() {
  local id
  for _ in $(seq 1 $((${2:-30} * 10))); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# shoot NAME ID [MARGIN]: the window (and MARGIN pixels around it) as it shows on the screen,
# after the page and the compositor have settled.
shoot() {
  local name=$1 id=$2 margin=${3:-0} x y w h
  sleep "${SETTLE:-2}"
  read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}')
  x=$((x - margin)) y=$((y - margin)) w=$((w + 2 * margin)) h=$((h + 2 * margin))
  [ "$x" -ge 0 ] || x=0
  [ "$y" -ge 0 ] || y=0
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/shot.png"
  # SCREENSHOTS_FULL=1: the whole screen as well, to see what lies around the window.
  [ "${SCREENSHOTS_FULL:-}" = 1 ] && import -window root "$out/$name-screen.png"
  # Small files: the full palette where that stays under 300 KB, 256 colours otherwise.
  convert "$work/shot.png" -strip -define png:compression-level=9 "$out/$name.png"
  if [ "$(stat -c %s "$out/$name.png")" -gt 300000 ]; then
    convert "$work/shot.png" -strip -dither None -colors 256 -define png:compression-level=9 \
      "PNG8:$out/$name.png"
  fi
  echo "screenshots: $out/$name.png (${w}x${h}, $(($(stat -c %s "$out/$name.png") / 1024)) KiB)"
}

# shoot_area NAME X Y WIDTH HEIGHT: that part of the screen, after things have settled.
shoot_area() {
  sleep "${SETTLE:-2}"
  import -window root -crop "${4}x${5}+${2}+${3}" +repage "$work/shot.png"
  convert "$work/shot.png" -strip -define png:compression-level=9 "$out/$1.png"
  if [ "$(stat -c %s "$out/$1.png")" -gt 300000 ]; then
    convert "$work/shot.png" -strip -dither None -colors 256 -define png:compression-level=9 \
      "PNG8:$out/$1.png"
  fi
  echo "screenshots: $out/$1.png (${4}x${5}, $(($(stat -c %s "$out/$1.png") / 1024)) KiB)"
}

client=$build/app/Zorvik_talmar2

if [ "$stage" = splash ]; then
# The splash: the portal holds the login page back, so the splash stays up.
start_portal --login-delay 15000
CLIENT_BASE_URL=$base "$client" &
pid=$!
pids+=($pid)
id=$(window_of "$pid" $((356 * k))) || fail "no splash"
SETTLE=1 shoot splash "$id" $((24 * k))
stop "$pid" "$portal"
fi

if [ "$stage" = login ]; then
# The login screen.
start_portal
CLIENT_BASE_URL=$base "$client" &
pid=$!
pids+=($pid)
id=$(window_of "$pid" $((1237 * k))) || fail "no login screen"
# The background's picture is drawn after the window shows: wait for the figure's cape.
read -r x y < <(xwininfo -id "$id" | awk '/Absolute upper-left X:/{x=$4} /Absolute upper-left Y:/{y=$4} END{print x, y}')
for _ in $(seq 1 60); do
  px=$(import -window root -crop 1x1+$((x + 100 * k))+$((y + 300 * k)) +repage -format '%[fx:int(255*(r+g+b))]' info:)
  [ "$px" -gt 30 ] && break
  sleep 0.5
done
[ "$px" -gt 30 ] || echo "screenshots: the login background did not show its picture" >&2
SETTLE=2 shoot login "$id"
stop "$pid" "$portal"
fi

if [ "$stage" = update ]; then
# The update question and the updater, from a copy of the client in a directory of its own (the
# updater would replace the files beside the client it updates): a newer version with a large
# file that arrives slowly.
inst=$work/inst files=$work/files
mkdir -p "$inst" "$files"
cp "$client" "$inst/Zorvik_talmar2"
cp "$(dirname "$client")/libtalmar2-web.so" "$inst/"
head -c 8000000 /dev/urandom >"$files/talmar2-data.pak"
cp "$client" "$files/Zorvik_talmar2"
printf 'version=9.9.9\r\ndata|%s/gamehome/talmar2/files/talmar2-data.pak\r\nclient|%s/gamehome/talmar2/files/Zorvik_talmar2\r\n' \
  BASE BASE >"$work/update.in"
: >"$work/update.txt"
start_portal --manifest "$work/update.txt" --files "$files" --rate 800000
sed "s|BASE|$base|g" "$work/update.in" >"$work/update.txt"
CLIENT_BASE_URL=$base "$inst/Zorvik_talmar2" &
pid=$!
pids+=($pid)
box=$(wait_title "提示" 30) || fail "no update question"
splash=$(window_of "$pid" $((356 * k)) 5 || true)
if [ -n "$splash" ]; then
  # The question over the splash: one picture holding both.
  SETTLE=1 shoot update-question "$box" $((60 * k))
else
  SETTLE=1 shoot update-question "$box" $((24 * k))
fi
xdotool windowactivate --sync "$box" key --clearmodifiers Return
upd=$(wait_title "更新" 30) || fail "no updater window"
# The client ends once the updater runs.
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && echo "screenshots: the client still runs beside the updater" >&2
updater=$(xdotool getwindowpid "$upd" 2>/dev/null || true)
[ -n "$updater" ] && pids+=($updater)
# Only the window: what lies around it may still show the question the client closed (the
# compositor repaints that part of the desktop late).
SETTLE=3 shoot updater "$upd"
[ -n "$updater" ] && stop "$updater"
stop "$pid" "$portal"
fi

if [ "$stage" = main ]; then
# The main window: the login page enters the first server by itself; two more games come in
# through "--open", as from a link handler; the last one is shown.
start_portal --auto-login
CLIENT_BASE_URL=$base "$client" &
pid=$!
pids+=($pid)
main=$(main_window "$pid") || fail "no main window"
sleep 2
CLIENT_BASE_URL=$base "$client" --open "$base/games/talmar2/play/2" || fail "--open was refused"
sleep 1
CLIENT_BASE_URL=$base "$client" --open "$base/games/talmar2/play/3" || fail "--open was refused"
SETTLE=3 shoot main "$main"

# The program menu: the title bar's menu button (121 pixels from the right), and the corner of
# the window under the menu.
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH - (121 - 8) * k)) $((Y + 10 * k)) click 1
sleep 1.5
import -window root -crop "$((420 * k))x$((320 * k))+$((X + WIDTH - 420 * k))+$Y" +repage "$work/shot.png"
convert "$work/shot.png" -strip -define png:compression-level=9 "$out/menu.png"
echo "screenshots: $out/menu.png"
xdotool key Escape
sleep 0.5

# The exit question: the main window's close button (43 x 18 pixels, 730 twips from the right
# and 15 twips from the top).
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove $((X + WIDTH - (49 - 21) * k)) $((Y + (1 + 9) * k)) click 1
box=$(wait_title "提示" 10) || fail "no exit question"
xdotool mousemove $((X + 10)) $((Y + HEIGHT - 10))
SETTLE=1 shoot exit-question "$box" $((24 * k))
stop "$pid" "$portal"
fi

if [ "$stage" = accounts ] || [ "$stage" = accounts-plain ]; then
# Accounts side by side: every login page enters the first server by itself after 5 s, so each
# login screen can be photographed first.
suffix=""
[ "$stage" = accounts-plain ] && suffix=-no-compositor
start_portal --auto-login-after 5000
CLIENT_BASE_URL=$base "$client" &
pid=$!
pids+=($pid)
main=$(main_window "$pid") || fail "no main window"
sleep 2
eval "$(xdotool getwindowgeometry --shell "$main")"
# menu: opens the program menu (the "≡" button, 1825 twips from the right, 24 x 18 pixels).
menu() { xdotool mousemove $((X + WIDTH - 110 * k)) $((Y + 10 * k)) click 1; sleep 1; }
# A second account from the menu's last item (新账号登录); its login screen over the main window.
menu
xdotool key Up Return
login=$(window_of "$pid" $((1237 * k)) 10) || fail "no login screen of another account"
SETTLE=2 shoot login-account$suffix "$login"
# It enters the same server as the first account: a second tab, with the account's mark; the
# first account opens a second server beside it.
for _ in $(seq 1 100); do
  xdotool search --onlyvisible --pid "$pid" 2>/dev/null | while read -r id; do
    xwininfo -id "$id" 2>/dev/null | awk '/Width:/{print $2}'
  done | grep -qx $((1237 * k)) || break
  sleep 0.2
done
sleep 2
CLIENT_BASE_URL=$base "$client" --open "$base/games/talmar2/play/2" || fail "--open was refused"
sleep 2
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
SETTLE=2 shoot_area accounts-tabs$suffix "$X" "$Y" $((WIDTH < 900 * k ? WIDTH : 900 * k)) $((120 * k))
menu
SETTLE=1 shoot_area accounts-menu$suffix $((X + WIDTH - 420 * k)) "$Y" $((420 * k)) $((300 * k))
xdotool key Escape
sleep 0.5
# Full screen: only the selected page.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
xdotool key F11
SETTLE=3 shoot_area fullscreen$suffix 0 0 $((1280 * k)) $((800 * k))
xdotool key F11
stop "$pid" "$portal"
fi

# The login screen without a compositor: shaped windows with hard edges.
if [ "$stage" = plain ] && [ -n "$compositor" ]; then
  stop "$compositor"
  start_portal
  CLIENT_BASE_URL=$base "$client" &
  pid=$!
  pids+=($pid)
  id=$(window_of "$pid" $((1237 * k))) || fail "no login screen"
  SETTLE=4 shoot login-no-compositor "$id"
  stop "$pid" "$portal"
fi
