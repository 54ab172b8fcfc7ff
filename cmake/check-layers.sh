#!/usr/bin/env bash
# The layer rules that include paths alone do not enforce:
# - only platform/ (and the build tools and tests) includes a header of GTK, GDK, WebKit, cairo,
#   Pango, curl, GLib/GIO, libsoup, X11, dbusmenu or OpenSSL;
# - inside platform/, a room includes only its own headers and those of the rooms below it:
#   desktop/ and webhost/ over window/ over gdi/ over system/ (desktop/ and webhost/ do not see
#   each other), and the engine module web/ sees only system/ and webhost/;
# - the layers above platform/ never include a room's detail/ headers (they are shared inside
#   platform/ only).
set -u
root=${1:-.}
cd "$root" || exit 2
status=0

pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](gtk/|gdk/|gdk-pixbuf/|webkit|webkit2/|jsc/|cairo|pango/|curl/|glib|gio/|libsoup/|gobject/|X11/|libdbusmenu|openssl/)'
hits=$(grep -rnE "$pattern" app common controls tabstrip mainwin updater 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Only platform/ may include system library headers:" >&2
  echo "$hits" >&2
  status=1
fi

include_of() {  # folder, rooms it must not include...
  local dir=$1 rooms
  shift
  rooms=$(IFS='|'; echo "$*")
  grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"platform/($rooms)/" "$dir" 2>/dev/null
}
check_room() {  # room, rooms above it...
  local room=$1 hits
  shift
  hits=$(include_of "platform/$room" "$@")
  if [ -n "$hits" ]; then
    echo "platform/$room/ may not include the rooms above it or beside it ($*):" >&2
    echo "$hits" >&2
    status=1
  fi
}
check_room system gdi window desktop webhost
check_room gdi window desktop webhost
check_room window desktop webhost
check_room desktop webhost
check_room webhost desktop
check_room web gdi window desktop

hits=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"platform/[a-z]+/detail/' \
  app common controls tabstrip mainwin updater 2>/dev/null)
if [ -n "$hits" ]; then
  echo "The rooms' detail/ headers are private to platform/:" >&2
  echo "$hits" >&2
  status=1
fi
exit $status
