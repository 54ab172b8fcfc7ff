// A picture of KWin's whole workspace, for the desktop tests: asks org.kde.KWin.ScreenShot2 for
// it (KWin writes the raw image into a pipe handed over with the call; the permission check is
// off with KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 in KWin's environment) and writes it as a PNG
// through ImageMagick's convert.
//   kwin_screenshot FILE.png
// Exit status 0 when the file was written.

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kwin_screenshot FILE.png\n");
    return 2;
  }
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  int fds[2];
  if (bus == nullptr || pipe(fds) != 0) return 1;
  GUnixFDList* list = g_unix_fd_list_new_from_array(&fds[1], 1);  // takes the write end
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "native-resolution", g_variant_new_boolean(TRUE));
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
      bus, "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
      "CaptureWorkspace", g_variant_new("(a{sv}h)", &options, 0), G_VARIANT_TYPE("(a{sv})"),
      G_DBUS_CALL_FLAGS_NONE, 20000, list, nullptr, nullptr, &error);
  g_object_unref(list);
  if (reply == nullptr) {
    std::fprintf(stderr, "kwin_screenshot: %s\n", error->message);
    return 1;
  }
  GVariant* info = g_variant_get_child_value(reply, 0);
  guint32 width = 0;
  guint32 height = 0;
  guint32 stride = 0;
  g_variant_lookup(info, "width", "u", &width);
  g_variant_lookup(info, "height", "u", &height);
  g_variant_lookup(info, "stride", "u", &stride);
  std::string raw;
  char buf[65536];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) raw.append(buf, n);
  if (width == 0 || stride < width * 4 || raw.size() < std::size_t{stride} * height) {
    std::fprintf(stderr, "kwin_screenshot: %u x %u, %zu bytes\n", width, height, raw.size());
    return 1;
  }
  // Rows without their padding, as 32-bit pixels in memory order: B, G, R, A.
  const std::string command = "convert -size " + std::to_string(width) + "x" +
                              std::to_string(height) + " -depth 8 bgra:- 'png:" + argv[1] + "'";
  FILE* out = popen(command.c_str(), "w");
  if (out == nullptr) return 1;
  for (guint32 y = 0; y < height; ++y) std::fwrite(raw.data() + y * stride, 4, width, out);
  return pclose(out) == 0 ? 0 : 1;
}
