#include "platform/desktop/ToolTip.h"

#include <gtk/gtk.h>

#include "platform/window/detail/WindowGtk.h"

namespace platform {

bool SetToolTipText(HWND hwnd, const std::string& text) {
  detail::NativeWindow* n = detail::Native(hwnd);
  if (n == nullptr || n->Inner() == nullptr) return false;
  GtkWidget* w = n->Inner();
  gtk_widget_set_tooltip_text(w, text.empty() ? nullptr : text.c_str());
  gtk_widget_trigger_tooltip_query(w);
  return true;
}

}  // namespace platform
