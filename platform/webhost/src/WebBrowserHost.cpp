#include "platform/webhost/WebBrowserHost.h"

#include "platform/webhost/detail/WebBrowserWidget.h"
#include "platform/window/detail/WindowGtk.h"

namespace platform {

HWND HostWebBrowser(WebBrowser& browser, HWND parent, int x, int y, int width, int height) {
  GtkWidget* widget = WebBrowserWidget(browser);
  if (widget == nullptr) return 0;
  return CreateWidgetWindow(widget, parent, x, y, width, height);
}

}  // namespace platform
