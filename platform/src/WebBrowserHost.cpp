#include "platform/WebBrowserHost.h"

#include "WebEngine.h"
#include "WindowGtk.h"

namespace platform {

HWND HostWebBrowser(WebBrowser& browser, HWND parent, int x, int y, int width, int height) {
  GtkWidget* widget = WebBrowserWidget(browser);
  if (widget == nullptr) return 0;
  return CreateWidgetWindow(widget, parent, x, y, width, height);
}

}  // namespace platform
