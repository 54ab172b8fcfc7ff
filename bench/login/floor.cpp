// The floor of the login benchmark: GTK 3 and one web view, nothing else. It loads the login
// page into a hidden window laid out like the login screen (1237 x 696, the view at the login
// window's view rectangle) and maps the window once the load has finished, so that it shows the
// same page at the same place as the client does, at the least cost the toolkit and the web
// engine allow.
//
//   login_floor URL [--sandbox] [--size WxH] [--view X,Y,W,H]
//
// --size and --view lay the window out otherwise (the main window's benchmark puts the view
// where the main window shows its game page).
//
// Pages are drawn without GL, as the client draws them. --sandbox turns the engine's process
// sandbox on, as the client does unless its build turned it off.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstring>

namespace {

int kWidth = 1237;
int kHeight = 696;
// Where the client's login window puts its view: the picture box at (415, 179), the view one
// pixel up and left of it, 751 x 444.
int kViewX = 414;
int kViewY = 178;
int kViewWidth = 751;
int kViewHeight = 444;

void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer window) {
  if (event == WEBKIT_LOAD_FINISHED) gtk_widget_show(GTK_WIDGET(window));
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  const char* url = nullptr;
  bool sandbox = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sandbox") == 0) {
      sandbox = true;
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      std::sscanf(argv[++i], "%dx%d", &kWidth, &kHeight);
    } else if (std::strcmp(argv[i], "--view") == 0 && i + 1 < argc) {
      std::sscanf(argv[++i], "%d,%d,%d,%d", &kViewX, &kViewY, &kViewWidth, &kViewHeight);
    } else {
      url = argv[i];
    }
  }
  if (url == nullptr) {
    std::fprintf(stderr, "usage: login_floor URL [--sandbox] [--size WxH] [--view X,Y,W,H]\n");
    return 2;
  }

  WebKitWebContext* context = webkit_web_context_get_default();
  if (sandbox) webkit_web_context_set_sandbox_enabled(context, TRUE);
  WebKitSettings* settings = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  GtkWidget* view = GTK_WIDGET(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
  g_object_unref(settings);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "login floor");
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), kWidth, kHeight);
  GtkWidget* fixed = gtk_fixed_new();
  gtk_widget_set_size_request(fixed, kWidth, kHeight);
  gtk_widget_set_size_request(view, kViewWidth, kViewHeight);
  gtk_fixed_put(GTK_FIXED(fixed), view, kViewX, kViewY);
  gtk_container_add(GTK_CONTAINER(window), fixed);
  gtk_widget_show_all(fixed);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), window);

  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
  gtk_main();
  return 0;
}
