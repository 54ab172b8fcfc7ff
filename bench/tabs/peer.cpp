// The peer of the tabs benchmark: a plain GTK host of WebKit views, one notebook page a view,
// each view as a browser would make it (the shared default context, pages drawn without GL as
// the client draws them). Unselected notebook pages are unmapped, so their engines see them as
// hidden.
//
//   tabs_peer [--sandbox] [--size WxH] [--select N] URL...
//
// --select chooses the page shown (0-based; default the last, as a newly opened tab is). Every
// line read from standard input is one more address (a new page at the end, selected), or
// "select N", which shows page N.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

WebKitWebContext* g_context = nullptr;
GtkWidget* g_notebook = nullptr;

GtkWidget* AddPage(const char* url) {
  WebKitSettings* settings = webkit_settings_new();
  webkit_settings_set_hardware_acceleration_policy(settings,
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  GtkWidget* view = GTK_WIDGET(
      g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", g_context, "settings", settings, nullptr));
  g_object_unref(settings);
  gtk_notebook_append_page(GTK_NOTEBOOK(g_notebook), view, gtk_label_new(url));
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url);
  return view;
}

gboolean OnInput(GIOChannel* channel, GIOCondition, gpointer) {
  gchar* line = nullptr;
  if (g_io_channel_read_line(channel, &line, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) {
    g_free(line);
    return G_SOURCE_REMOVE;
  }
  g_strstrip(line);
  if (g_str_has_prefix(line, "select ")) {
    gtk_notebook_set_current_page(GTK_NOTEBOOK(g_notebook), std::atoi(line + 7));
  } else if (*line != '\0') {
    gtk_widget_show(AddPage(line));
    gtk_notebook_set_current_page(GTK_NOTEBOOK(g_notebook), -1);
  }
  g_free(line);
  return G_SOURCE_CONTINUE;
}

}  // namespace

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
  g_context = webkit_web_context_get_default();
  if (sandbox) webkit_web_context_set_sandbox_enabled(g_context, TRUE);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "tabs peer");
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), width, height);
  g_notebook = gtk_notebook_new();
  gtk_container_add(GTK_CONTAINER(window), g_notebook);
  for (const char* url : urls) AddPage(url);
  gtk_widget_show_all(window);
  gtk_notebook_set_current_page(GTK_NOTEBOOK(g_notebook),
                                select >= 0 ? select : static_cast<int>(urls.size()) - 1);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  GIOChannel* input = g_io_channel_unix_new(0);
  g_io_add_watch(input, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), &OnInput, nullptr);
  gtk_main();
  return 0;
}
