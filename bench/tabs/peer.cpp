// The peer of the tabs benchmark: a plain GTK host of WebKit views, one notebook page a view,
// each view as a browser would make it (the shared default context, pages drawn without GL as
// the client draws them). Unselected notebook pages are unmapped, so their engines see them as
// hidden.
//
//   tabs_peer [--sandbox] [--size WxH] [--select N] URL...
//
// --select chooses the page shown (0-based; default the last, as a newly opened tab is).

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  int width = 1280;
  int height = 800;
  int select = -1;
  bool sandbox = false;
  std::vector<const char*> urls;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sandbox") == 0) {
      sandbox = true;
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      std::sscanf(argv[++i], "%dx%d", &width, &height);
    } else if (std::strcmp(argv[i], "--select") == 0 && i + 1 < argc) {
      select = std::atoi(argv[++i]);
    } else {
      urls.push_back(argv[i]);
    }
  }
  if (urls.empty()) {
    std::fprintf(stderr, "usage: tabs_peer [--sandbox] [--size WxH] [--select N] URL...\n");
    return 2;
  }
  WebKitWebContext* context = webkit_web_context_get_default();
  if (sandbox) webkit_web_context_set_sandbox_enabled(context, TRUE);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "tabs peer");
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), width, height);
  GtkWidget* notebook = gtk_notebook_new();
  gtk_container_add(GTK_CONTAINER(window), notebook);
  for (const char* url : urls) {
    WebKitSettings* settings = webkit_settings_new();
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    GtkWidget* view = GTK_WIDGET(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "settings", settings, nullptr));
    g_object_unref(settings);
    gtk_notebook_append_page(GTK_NOTEBOOK(notebook), view, gtk_label_new(url));
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
  }
  gtk_widget_show_all(window);
  gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook),
                                select >= 0 ? select : static_cast<int>(urls.size()) - 1);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_main();
  return 0;
}
