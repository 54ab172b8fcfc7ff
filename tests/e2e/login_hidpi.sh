#!/usr/bin/env bash
# The login screen at a window scale of 2 (GDK_SCALE=2 on a 2560 x 1600 desktop, no compositor)
# against the same screen at 1x: twice the size in device pixels, and at sample points all over
# it (the figure, the frame's far corner, the small pictures, a see-through corner) the same
# colours as at 1x, read back from the X server. A window whose shape stayed at its 1x size
# shows only its top-left quarter, and the far samples show the desktop instead.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" = "" ]; then
  in_netns online bash "$0" desktop
  exit
fi
if [ "$1" = desktop ]; then
  DESKTOP_SCREEN=2560x1600x24 exec "$SOURCE_DIR/tools/with-desktop.sh" bash "$0" inside
fi

# A known desktop colour behind the see-through parts.
convert -size 16x16 'xc:#5a6473' "$work/desktop.png"
display -window root "$work/desktop.png" 2>/dev/null &
pids+=($!)
start_portal

# Logical sample points: inside the figure (hair, armour twice), the frame's rim near its
# bottom-right corner, the title band right of the logo, the faces of the minimise and close
# pictures beside their glyphs, the see-through top-left corner.
points=("150 250" "250 250" "245 300" "1200 600" "900 160" "1128 138" "1169 131" "10 10")

# shot SCALE: starts the client at that window scale, checks the login window's size and prints
# the colour at each sample point, one per line.
shot() {
  local k=$1 id x y w h px
  GDK_SCALE=$k CLIENT_BASE_URL=$base "$CLIENT_EXE" &
  local client=$!
  pids+=($client)
  for _ in $(seq 1 150); do
    id=""
    for c in $(xdotool search --onlyvisible --pid "$client" 2>/dev/null || true); do
      w=$(xwininfo -id "$c" 2>/dev/null | awk '/Width:/{print $2}') || continue
      [ "$w" = $((1237 * k)) ] && id=$c
    done
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || fail "no login window $((1237 * k)) px wide at scale $k"
  read -r x y w h < <(geometry "$id")
  [ "$w x $h" = "$((1237 * k)) x $((696 * k))" ] || fail "login window is $w x $h at scale $k"
  # The picture is drawn after the window shows: wait for the figure's armour, neither black
  # nor the desktop.
  for _ in $(seq 1 60); do
    px=$(import -window root -crop 1x1+$((x + 250 * k))+$((y + 250 * k)) +repage \
      -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:)
    [ "$px" != 0,0,0 ] && [ "$px" != 90,100,115 ] && break
    sleep 0.5
  done
  sleep 1
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$work/login-$k.png"
  for p in "${points[@]}"; do
    read -r px py <<<"$p"
    convert "$work/login-$k.png" -format \
      '%[fx:int(255*p{'$((px * k))','$((py * k))'}.r)] %[fx:int(255*p{'$((px * k))','$((py * k))'}.g)] %[fx:int(255*p{'$((px * k))','$((py * k))'}.b)]\n' info:
  done
  kill "$client"
  wait_exit "$client"
}

mapfile -t one < <(shot 1)
mapfile -t two < <(shot 2)
[ "${#one[@]}" = "${#points[@]}" ] && [ "${#two[@]}" = "${#points[@]}" ] || fail "samples missing"
for i in "${!points[@]}"; do
  read -r r1 g1 b1 <<<"${one[$i]}"
  read -r r2 g2 b2 <<<"${two[$i]}"
  # The 2x picture is drawn anew, not copied: close colours, not equal ones.
  for d in $((r1 - r2)) $((g1 - g2)) $((b1 - b2)); do
    [ "${d#-}" -le 48 ] || fail "at ${points[$i]}: $r1,$g1,$b1 at 1x, $r2,$g2,$b2 at 2x"
  done
  echo "${points[$i]}: $r1,$g1,$b1 at 1x, $r2,$g2,$b2 at 2x"
done
echo "login at a window scale of 2: ok"
