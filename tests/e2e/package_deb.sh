#!/usr/bin/env bash
# The Debian package: built by CPack from the build tree, with the dependencies dpkg-shlibdeps
# found, the client's files under /usr, a working command link, the desktop entry, the AppStream
# metadata and the manual page; lintian finds no error in it, only the warning the README
# explains and no binary without Debian's hardening; apt installs it, the command runs, and apt
# removes it again.
source "$(dirname "$0")/lib/common.sh"

cpack -G DEB -B "$work/pkg" --config "$BUILD_DIR/CPackConfig.cmake" >"$work/cpack.log" 2>&1 \
  || fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/pkg/zorvik-talmar2_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no package: $(cat "$work/cpack.log")"

[ "$(dpkg-deb -f "$deb" Package)" = zorvik-talmar2 ] || fail "package name $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section $(dpkg-deb -f "$deb" Section)"
version=$(dpkg-deb -f "$deb" Version)
[ "${version%-*}" = "$CLIENT_VERSION" ] || fail "version $version"
maintainer=$(sed -n 's/^CLIENT_PACKAGE_MAINTAINER:STRING=//p' "$BUILD_DIR/CMakeCache.txt")
[ -n "$maintainer" ] && [ "$(dpkg-deb -f "$deb" Maintainer)" = "$maintainer" ] \
  || fail "maintainer $(dpkg-deb -f "$deb" Maintainer), configured: $maintainer"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libwebkit2gtk-4.1-0 libgtk-3-0 libcurl4 libc6 fonts-wqy-microhei; do
  grep -q "\b$d\b" <<<"$depends" || fail "Depends lacks $d: $depends"
done
# shlibdeps puts versions on what it found; the libsoup 3 library's start at 3.
grep -q 'libgtk-3-0 (>= ' <<<"$depends" || fail "no versioned dependencies: $depends"
grep -q 'libsoup-3.0-0 (>= 3\.' <<<"$depends" || fail "libsoup dependency: $depends"
# Nothing to run at install or removal (no library of the package is in the linker's path).
scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -v '^\./\(control\|md5sums\)$' | grep -v '^\./$' || true)
[ -z "$scripts" ] || fail "maintainer scripts in the package: $scripts"

list=$(dpkg-deb -c "$deb" | awk '{s = $6; for (i = 7; i <= NF; i++) s = s " " $i; print s}')
for f in ./usr/lib/talmar2/Zorvik_talmar2 ./usr/lib/talmar2/libtalmar2-web.so \
         ./usr/share/applications/net.zorvik.talmar2.desktop ./usr/share/metainfo/net.zorvik.talmar2.metainfo.xml \
         ./usr/share/doc/zorvik-talmar2/copyright ./usr/share/doc/zorvik-talmar2/changelog.Debian.gz \
         ./usr/share/icons/hicolor/16x16/apps/talmar2.png ./usr/share/icons/hicolor/32x32/apps/talmar2.png \
         ./usr/share/icons/hicolor/48x48/apps/talmar2.png ./usr/share/icons/hicolor/64x64/apps/talmar2.png \
         ./usr/share/icons/hicolor/128x128/apps/talmar2.png ./usr/share/icons/hicolor/256x256/apps/talmar2.png \
         ./usr/share/man/man6/Zorvik_talmar2.6.gz; do
  grep -q "^$f\$" <<<"$list" || fail "the package lacks $f"
done
grep -qx './usr/games/Zorvik_talmar2 -> ../lib/talmar2/Zorvik_talmar2' <<<"$list" || fail "no command link: $list"
! grep -q "$BUILD_DIR\|/usr/local" <<<"$list" || fail "build or local paths in the package: $list"
# Installed-Size as dpkg counts it: KiB of each file rounded up, 1 for each directory and link.
size=$(dpkg-deb -c "$deb" | awk '{ n += $3 > 0 ? int(($3 + 1023) / 1024) : 1 } END { print n }')
installed=$(dpkg-deb -f "$deb" Installed-Size)
[ "$installed" -le $((size + 4)) ] && [ "$installed" -ge $((size - 4)) ] \
  || fail "Installed-Size $installed, the files take $size KiB"

# Debian's package checker, pedantic: no error, no warning but the one the README explains, and
# no note of a binary built without Debian's hardening or stripped less than Debian strips.
command -v lintian >/dev/null || fail "lintian is missing (tools/install-deps.sh installs it)"
rc=0
lintian --pedantic --display-info "$deb" >"$work/lintian.log" 2>&1 || rc=$?
[ "$rc" -le 2 ] || fail "lintian did not run: $(cat "$work/lintian.log")"
left=$(grep -e '^[EW]: ' -e ' hardening-no-' -e ' binary-has-unneeded-section ' "$work/lintian.log" \
  | grep -v ' initial-upload-closes-no-bugs ' || true)
[ -z "$left" ] || fail "lintian: $left"

dpkg-deb -x "$deb" "$work/root"
for line in 'StartupWMClass=Zorvik_talmar2' 'Exec=/usr/games/Zorvik_talmar2'; do
  grep -qx "$line" "$work/root/usr/share/applications/net.zorvik.talmar2.desktop" \
    || fail "desktop entry: $(cat "$work/root/usr/share/applications/net.zorvik.talmar2.desktop")"
done
# The AppStream metadata is valid, and its launchable is the desktop entry of the tree.
command -v appstreamcli >/dev/null || fail "appstreamcli is missing (tools/install-deps.sh installs it)"
appstreamcli validate-tree --no-net --strict "$work/root" >"$work/appstream.log" 2>&1 \
  || fail "AppStream metadata: $(cat "$work/appstream.log")"
# What software centres show of an install under /usr: the package manager updates it.
tr -s ' \n' ' ' <"$work/root/usr/share/metainfo/net.zorvik.talmar2.metainfo.xml" \
  | grep -q 'the client is updated by the package manager' || fail "the AppStream text promises a self-update"
# The packed files need nothing of the build tree.
ldd "$work/root/usr/lib/talmar2/Zorvik_talmar2" | grep -q 'not found' && fail "unresolved libraries"
ldd "$work/root/usr/lib/talmar2/libtalmar2-web.so" | grep -q 'not found' && fail "unresolved libraries of the module"

# apt installs it, the installed command runs, and apt removes it without a trace. Done in a
# private mount namespace whose /usr, /var and /etc are overlays on the real ones, so nothing of
# it reaches the machine; that needs root (a CI machine, or a developer's with sudo), else this
# part is skipped and said so.
if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
  unshare -m --propagation private bash -c '
    set -e
    deb=$1 overlay=$2 work=$3
    mount -t tmpfs tmpfs "$overlay"
    for d in usr var etc; do
      mkdir -p "$overlay/$d.up" "$overlay/$d.work"
      mount -t overlay overlay -o "lowerdir=/$d,upperdir=$overlay/$d.up,workdir=$overlay/$d.work" "/$d"
    done
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 \
      || { echo "apt install failed: $(tail -n 20 "$work/apt.log")"; exit 1; }
    version=$(dpkg-deb -f "$deb" Version)
    [ "$(/usr/games/Zorvik_talmar2 --version)" = "${version%-*}" ] \
      || { echo "the installed command does not run"; exit 1; }
    [ -f /usr/share/icons/hicolor/256x256/apps/talmar2.png ] || { echo "no icon installed"; exit 1; }
    apt-get remove -y -qq zorvik-talmar2 >"$work/apt.log" 2>&1 \
      || { echo "apt remove failed: $(tail -n 20 "$work/apt.log")"; exit 1; }
    left=$(find /usr /etc -path /usr/local -prune -o -path "*talmar2*" -print 2>/dev/null)
    [ -z "$left" ] || { echo "left after apt remove: $left"; exit 1; }
  ' apt-in-overlay "$deb" "$(mkdir -p "$work/overlay" && echo "$work/overlay")" "$work" >"$work/overlay.log" 2>&1 \
    || fail "$(cat "$work/overlay.log")"
else
  echo "package: apt install and remove skipped (needs root for a private overlay of /usr)"
fi
echo "Debian package: ok"
