# The client whole on a full desktop (sourced by gnome_session.sh and kde_session.sh after
# common.sh): the splash, the login screen, the main window's title buttons, F10, the tray.
# The desktop script defines:
#   click X Y    a left click at (X, Y) on the screen, through the desktop's own input if it has one
#   press KEY    a key press (an X keysym name)
#   DESKTOP      the desktop's name in the lines this prints
# Pictures go to $DESKTOP_SHOTS when it is set (the README's come from there).

# shot NAME: a picture of the whole screen, kept when DESKTOP_SHOTS is set.
shot() {
  [ -n "${DESKTOP_SHOTS:-}" ] || return 0
  mkdir -p "$DESKTOP_SHOTS"
  $DESKTOP_SHOT "$DESKTOP_SHOTS/$1.png" >/dev/null 2>&1 || echo "$DESKTOP: no picture $1" >&2
}

# The work area as "x y width height" (the screen when the desktop names none).
work_area() {
  local w
  w=$(xprop -root _NET_WORKAREA 2>/dev/null | sed -n 's/.*= \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\).*/\1 \2 \3 \4/p')
  [ -n "$w" ] && { echo "$w"; return; }
  xdpyinfo | awk '/dimensions:/{split($2, d, "x"); print 0, 0, d[1], d[2]}'
}

# client_windows PID: "x y width height" of each visible window of the process.
client_windows() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true); do
    geometry "$id" 2>/dev/null || true
  done
}

# near A B: the two numbers differ by 2 pixels at most.
near() { [ $(($1 - $2)) -le 2 ] && [ $(($2 - $1)) -le 2 ]; }

desktop_road() {
  local wx wy ww wh sx sy sw sh splash main id x y w h state
  xprop -root _NET_WORKAREA
  read -r wx wy ww wh < <(work_area)
  echo "$DESKTOP: work area $wx,$wy $ww x $wh"

  # The splash, centred, while the portal holds the login page back.
  start_portal --login-delay 3000
  CLIENT_BASE_URL=$base "$CLIENT_EXE" &
  client=$!
  pids+=($client)
  for _ in $(seq 1 200); do
    splash=$(client_windows "$client" | awk '$3 == 356' | head -n 1)
    [ -n "$splash" ] && break
    sleep 0.1
  done
  [ -n "$splash" ] || fail "no splash"
  read -r sx sy sw sh <<<"$splash"
  echo "$DESKTOP: splash at $sx,$sy ($sw x $sh)"
  near $((sx + sw / 2)) $((wx + ww / 2)) || fail "the splash is not centred across: $splash"
  # Up and down: in the middle of the work area or of the screen.
  near $((sy + sh / 2)) $((wy + wh / 2)) ||
    near $((2 * sy + sh)) "$(xdpyinfo | awk '/dimensions:/{split($2, d, "x"); print d[2]}')" ||
    fail "the splash is not centred: $splash"
  shot splash

  # The login screen: the background and the window with the page over it, one place.
  # Up to 30 s: the login page comes 3 s after the splash, the rest is the loaded machine.
  for _ in $(seq 1 300); do
    client_windows "$client" | awk '$3 >= 1186' >"$work/login.txt"
    [ "$(wc -l <"$work/login.txt")" -ge 2 ] && break
    sleep 0.1
  done
  echo "$DESKTOP: login windows: $(tr '\n' ';' <"$work/login.txt")"
  [ "$(wc -l <"$work/login.txt")" -ge 2 ] || fail "no login screen of two windows"
  [ "$(awk '{print $1, $2}' "$work/login.txt" | sort -u | wc -l)" = 1 ] ||
    fail "the login screen's windows are apart: $(tr '\n' ';' <"$work/login.txt")"
  read -r x y w h < <(head -n 1 "$work/login.txt")
  near $((x + w / 2)) $((wx + ww / 2)) || fail "the login screen is not centred across"
  sleep 1
  shot login

  # The page's login button (the page sits at (415, 179) of the login screen, the button at
  # (374, 264) of the page): the main window covers the work area.
  click $((x + 415 + 374)) $((y + 179 + 264))
  # The main window has the login screen's title: it is the one of another width.
  main=""
  for _ in $(seq 1 300); do
    for id in $(xdotool search --onlyvisible --name '^ZorvikTalmar2客户端$' 2>/dev/null || true); do
      [ "$(geometry "$id" 2>/dev/null | cut -d' ' -f3)" != 1237 ] && main=$id
    done
    [ -n "$main" ] && break
    sleep 0.1
  done
  [ -n "$main" ] || fail "no main window after the login"
  at() { for _ in $(seq 1 50); do [ "$(geometry "$main")" = "$1" ] && return 0; sleep 0.1; done; return 1; }
  at "$wx $wy $ww $wh" || fail "the main window is at $(geometry "$main"), not over the work area"
  echo "$DESKTOP: main window: $(xprop -id "$main" _NET_WM_STATE)"
  sleep 1
  shot main

  # Restore (its button 62 px from the right edge): the designed 1036 x 639, with the window
  # manager's state following (no maximised flag left behind).
  read -r x y w h < <(geometry "$main")
  click $((x + w - 62)) $((y + 10))
  for _ in $(seq 1 50); do read -r _ _ w h < <(geometry "$main"); [ "$w" = 1036 ] && break; sleep 0.1; done
  echo "$DESKTOP: restored: $(geometry "$main") $(xprop -id "$main" _NET_WM_STATE)"
  [ "$(geometry "$main" | cut -d' ' -f3-)" = "1036 639" ] ||
    fail "restored, the main window is $(geometry "$main")"
  local restored
  restored=$(geometry "$main")
  state=$(xprop -id "$main" _NET_WM_STATE)
  case $state in *MAXIMIZED*) fail "restored, the window manager still has it maximised: $state" ;; esac
  sleep 0.5
  shot restored
  # Maximise again, by the same button.
  read -r x y w h < <(geometry "$main")
  click $((x + w - 62)) $((y + 10))
  at "$wx $wy $ww $wh" || fail "maximised again, the main window is at $(geometry "$main")"
  # And restore once more: the state of the second round is the window manager's too.
  read -r x y w h < <(geometry "$main")
  click $((x + w - 62)) $((y + 10))
  for _ in $(seq 1 50); do read -r _ _ w h < <(geometry "$main"); [ "$w" = 1036 ] && break; sleep 0.1; done
  at "$restored" || fail "restored a second time, the main window is at $(geometry "$main"), not $restored"
  local before
  before=$(geometry "$main")

  # Minimise with its own "-" (86 px from the right edge).
  read -r x y w h < <(geometry "$main")
  click $((x + w - 86)) $((y + 10))
  hidden() { xprop -id "$main" _NET_WM_STATE 2>/dev/null | grep -q HIDDEN || ! xwininfo -id "$main" | grep -q IsViewable; }
  for _ in $(seq 1 50); do hidden && break; sleep 0.1; done
  hidden || fail "the '-' button did not minimise the main window"
  echo "$DESKTOP: minimised"

  # F10 brings it back where it was; twice more hides and shows it, back at the same place.
  # Where the desktop gives a global F10 to no one (GNOME on Wayland: the X grab hears it only
  # while an X window has the focus), $F10_BACK is what the player uses instead.
  ${F10_BACK:-press F10}
  for _ in $(seq 1 50); do hidden || break; sleep 0.1; done
  hidden && fail "F10 did not bring the minimised window back"
  at "$before" || fail "back from minimised, the window is at $(geometry "$main"), not $before"
  press F10
  for _ in $(seq 1 50); do xwininfo -id "$main" | grep -q IsViewable || break; sleep 0.1; done
  xwininfo -id "$main" | grep -q IsViewable && fail "F10 did not hide the window"
  ${F10_BACK:-press F10}
  for _ in $(seq 1 50); do xwininfo -id "$main" | grep -q IsViewable && break; sleep 0.1; done
  xwininfo -id "$main" | grep -q IsViewable || fail "the second F10 did not bring the window back"
  at "$before" || fail "after F10 twice, the window is at $(geometry "$main"), not $before"
  echo "$DESKTOP: F10 twice: back at $before"

  # The tray icon: registered with the desktop's StatusNotifier watcher.
  local item=""
  for _ in $(seq 1 150); do
    item=$(gdbus call --session --dest org.kde.StatusNotifierWatcher \
      --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get \
      org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null | grep -o "'[^']*'" | head -n 1 || true)
    [ -n "$item" ] && break
    sleep 0.1
  done
  [ -n "$item" ] || fail "no tray icon with the desktop's watcher: $(gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher --method org.freedesktop.DBus.Properties.GetAll org.kde.StatusNotifierWatcher 2>&1)"
  echo "$DESKTOP: tray icon $item"
  shot tray
  kill "$client"
  wait_exit "$client"
}
