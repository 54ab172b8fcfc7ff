#!/usr/bin/env bash
# cmake --install into a temporary prefix: the files land where the desktop looks for them,
# stripped, the installed command starts the client with the web module from the prefix (the
# login page of the demo portal shows), its windows carry the class the desktop entry names, and
# the uninstall step takes everything away again with the folders the install made, and only
# those, and only where its install still is.
source "$(dirname "$0")/lib/common.sh"
if [ "${1:-}" != inside ]; then
  in_netns online bash "$0" inside
  exit
fi

# The build tree's record of installs is set aside, so that the uninstall here takes away this
# install only, and put back at the end.
record=$BUILD_DIR/install_record.cmake
if [ -f "$record" ]; then
  mv "$record" "$work/record.saved"
  trap 'mv "$work/record.saved" "$record"; cleanup' EXIT
fi

prefix=$work/prefix
mkdir -p "$prefix/share/icons"   # a shared folder that was there before
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$work/install.log" || fail "install: $(cat "$work/install.log")"
exe=$prefix/lib/talmar2/Zorvik_talmar2
[ -x "$exe" ] || fail "no client in $prefix/lib/talmar2"
[ -f "$prefix/lib/talmar2/libtalmar2-web.so" ] || fail "no web module beside the client"
[ "$(readlink "$prefix/bin/Zorvik_talmar2")" = ../lib/talmar2/Zorvik_talmar2 ] || fail "no command in bin"
for f in "$exe" "$prefix/lib/talmar2/libtalmar2-web.so"; do
  ! readelf -S "$f" | grep -q '\.symtab' || fail "installed unstripped: $f"
done
[ -f "$prefix/share/metainfo/net.zorvik.talmar2.metainfo.xml" ] || fail "no AppStream metadata"
man -l "$prefix/share/man/man6/Zorvik_talmar2.6.gz" 2>/dev/null | grep -q 'Zorvik_talmar2 --open' \
  || fail "no manual page in section 6"
entry=$prefix/share/applications/net.zorvik.talmar2.desktop
for line in 'Name=ZorvikTalmar2' "Exec=$prefix/bin/Zorvik_talmar2" 'Icon=talmar2' 'Categories=Game;' \
            'StartupWMClass=Zorvik_talmar2' 'Type=Application'; do
  grep -qx "$line" "$entry" || fail "the desktop entry lacks $line"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the desktop entry does not validate"
fi
for s in 16 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${s}x${s}/apps/talmar2.png
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${s}x${s}" ] || fail "no $s px icon in the theme"
done

# The installed command, against the demo portal. The login screen shows only once the login
# page has arrived, which needs the web module.
start_portal
CLIENT_BASE_URL=$base "$prefix/bin/Zorvik_talmar2" &
client=$!
pids+=($client)
bg=$(login_screen "$client") || fail "the installed client showed no login screen"
grep -q "$prefix/lib/talmar2/libtalmar2-web.so" "/proc/$client/maps" \
  || fail "the web module was not loaded from the prefix: $(grep -o '/[^ ]*talmar2-web[^ ]*' "/proc/$client/maps" | sort -u)"
xprop -id "$bg" WM_CLASS | grep -q '"Zorvik_talmar2"$' || fail "window class $(xprop -id "$bg" WM_CLASS)"
kill "$client"
wait_exit "$client"

# Two more installs whose folders are deleted afterwards; in the place of one, someone else's
# client appears. The uninstall acts only where its record's install still is, and says so
# for the others.
for p in gone replaced; do
  cmake --install "$BUILD_DIR" --prefix "$work/$p" >/dev/null || fail "install into $work/$p"
  rm -rf "${work:?}/$p"
done
mkdir -p "$work/replaced/lib/talmar2"
echo theirs >"$work/replaced/lib/talmar2/Zorvik_talmar2"

cmake -P "$BUILD_DIR/cmake_uninstall.cmake" >"$work/uninstall.log" 2>&1 || fail "uninstall: $(cat "$work/uninstall.log")"
left=$(cd "$prefix" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./share ./share/icons " ] || fail "left after uninstall: $left"
[ "$(cat "$work/replaced/lib/talmar2/Zorvik_talmar2" 2>/dev/null)" = theirs ] \
  || fail "the uninstall removed another install's client: $(cat "$work/uninstall.log")"
grep -q "Not touching $work/replaced: it holds another install" "$work/uninstall.log" \
  || fail "the uninstall did not say it left $work/replaced alone: $(cat "$work/uninstall.log")"
grep -q "Nothing to remove in $work/gone: the install recorded there is gone" "$work/uninstall.log" \
  || fail "the uninstall did not say the install in $work/gone is gone: $(cat "$work/uninstall.log")"
[ ! -e "$record" ] || fail "the record outlived the uninstall"
echo "install into a prefix: ok"
