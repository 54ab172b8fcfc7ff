#!/usr/bin/env bash
# Installs every Debian package the client, its tests and benchmarks need.
# Idempotent: when everything is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build ccache
  libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev libcurl4-openssl-dev libssl-dev
  libdbusmenu-glib-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
  fonts-wqy-microhei adwaita-icon-theme
  xvfb xauth openbox xdotool x11-utils imagemagick xcompmgr trayer xfce4-panel xfconf libglib2.0-bin
  dbus dbus-x11 curl time util-linux iproute2 procps
  dpkg-dev desktop-file-utils lintian appstream
  weston xwayland xdg-desktop-portal
  # The two full desktops of the end-to-end tests (tools/with-gnome.sh, tools/with-kwin.sh):
  # about 310 MB to download and 900 MB installed, four and a half minutes here.
  gnome-shell gnome-shell-extension-appindicator gnome-screenshot
  kwin-wayland kded5 plasma-workspace plasma-desktop qtwayland5 xdg-desktop-portal-kde
  clang-format clang-tidy clang-tidy-19
  python3-gi gir1.2-atspi-2.0 at-spi2-core
)

# The tabs benchmark fetches its game engine from the npm registry; machines whose Node.js
# came without npm get Debian's.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
