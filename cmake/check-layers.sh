#!/usr/bin/env bash
# Fails when a file outside platform/ (and outside the build tools and tests) includes a header
# of GTK, GDK, WebKit, cairo, Pango, curl, GLib/GIO, libsoup or OpenSSL.
set -u
root=${1:-.}
cd "$root" || exit 2
pattern='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](gtk/|gdk/|gdk-pixbuf/|webkit|webkit2/|jsc/|cairo|pango/|curl/|glib|gio/|libsoup/|gobject/|X11/|libdbusmenu|openssl/)'
hits=$(grep -rnE "$pattern" app common controls tabstrip mainwin updater 2>/dev/null)
if [ -n "$hits" ]; then
  echo "Only platform/ may include system library headers:" >&2
  echo "$hits" >&2
  exit 1
fi
exit 0
