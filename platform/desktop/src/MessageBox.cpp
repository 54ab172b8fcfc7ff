#include "platform/desktop/MessageBox.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/system/Resources.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/detail/WindowGtk.h"
#include "platform/system/EventLog.h"

namespace platform {

namespace {

// What each box says, as "<title> | <text>" (CLIENT_DEBUG=boxes): the end-to-end tests read it.
const LogChannel kBoxLog("boxes");

MessageBoxResponder& Responder() {
  static MessageBoxResponder responder;
  return responder;
}

const char* IconName(unsigned type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return "dialog-error";
    case MB_ICONQUESTION:
      return "dialog-question";
    case MB_ICONEXCLAMATION:
      return "dialog-warning";
    case MB_ICONINFORMATION:
      return "dialog-information";
    default:
      return nullptr;
  }
}

bool OnScreen(GtkWindow* window) {
  if (window == nullptr || !gtk_widget_get_mapped(GTK_WIDGET(window))) return false;
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(window));
  return gdk != nullptr && (gdk_window_get_state(gdk) & GDK_WINDOW_STATE_ICONIFIED) == 0;
}

// The top-level window the box belongs to: the owner when it is on the screen, else the
// program's active window, else one of its windows on the screen; nullptr when none is.
GtkWindow* OwnerWindow(HWND owner) {
  if (owner != 0) {
    GtkWindow* w = detail::GtkTopLevel(owner);
    if (OnScreen(w)) return w;
  }
  GtkWindow* found = nullptr;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l != nullptr; l = l->next) {
    auto* w = GTK_WINDOW(l->data);
    // Only the program's own windows: not menus, tool tips or another box.
    if (gtk_window_get_window_type(w) != GTK_WINDOW_TOPLEVEL || !OnScreen(w) ||
        WindowFromWidget(GTK_WIDGET(w)) == 0) {
      continue;
    }
    if (found == nullptr || gtk_window_is_active(w)) found = w;
  }
  g_list_free(all);
  return found;
}

// The executable's own icon (its first icon resource), for a box no window of ours lends one.
GList* ProgramIcons() {
  static GList* icons = [] {
    GList* list = nullptr;
    const auto bytes = FindResourceData("ICON", 101);
    if (!bytes) return list;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("ico", nullptr);
    if (loader == nullptr) return list;
    if (gdk_pixbuf_loader_write(loader, bytes->data(), bytes->size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
      if (GdkPixbuf* p = gdk_pixbuf_loader_get_pixbuf(loader)) {
        list = g_list_append(list, g_object_ref(p));
      }
    } else {
      gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return list;
  }();
  return icons;
}

// The window icon: the owner's; without an owner, that of any window of ours that has one.
void SetIcons(GtkWindow* dialog, GtkWindow* owner) {
  GList* icons = owner != nullptr ? gtk_window_get_icon_list(owner) : nullptr;
  if (icons == nullptr) {
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l != nullptr && icons == nullptr; l = l->next) {
      auto* w = GTK_WINDOW(l->data);
      if (w != dialog && WindowFromWidget(GTK_WIDGET(w)) != 0) {
        icons = gtk_window_get_icon_list(w);
      }
    }
    g_list_free(all);
  }
  if (icons != nullptr) {
    gtk_window_set_icon_list(dialog, icons);
    g_list_free(icons);
  } else if (ProgramIcons() != nullptr) {
    gtk_window_set_icon_list(dialog, ProgramIcons());
  }
}

// Web addresses in the text are never broken across lines (a player copies or types them, and
// "http://" alone at a line's end reads as a broken address): the text wraps around them. Returns
// the length of the longest, in characters, so that the line can be made wide enough for it.
int KeepAddressesWhole(GtkWidget* label) {
  const std::string text = gtk_label_get_text(GTK_LABEL(label));
  PangoAttrList* attributes = pango_attr_list_new();
  int longest = 0;
  for (std::size_t at = text.find("http"); at != std::string::npos; at = text.find("http", at)) {
    std::size_t end = at;
    while (end < text.size() && static_cast<unsigned char>(text[end]) > 0x20 &&
           static_cast<unsigned char>(text[end]) < 0x80) {
      ++end;
    }
    const std::string_view word(text.data() + at, end - at);
    if (word.starts_with("http://") || word.starts_with("https://")) {
      PangoAttribute* whole = pango_attr_allow_breaks_new(FALSE);
      whole->start_index = static_cast<guint>(at);
      whole->end_index = static_cast<guint>(end);
      pango_attr_list_insert(attributes, whole);
      longest = std::max(longest, static_cast<int>(word.size()));
    }
    at = std::max(end, at + 1);
  }
  gtk_label_set_attributes(GTK_LABEL(label), attributes);
  pango_attr_list_unref(attributes);
  return longest;
}

GtkWidget* AddButton(GtkDialog* dialog, const char* label, int response) {
  GtkWidget* button = gtk_dialog_add_button(dialog, label, response);
  gtk_widget_set_size_request(button, 88, -1);
  return button;
}

int ShowDialog(const MessageBoxRequest& req) {
  const bool yesNo = (req.type & 0x0F) == MB_YESNO;
  GtkWidget* dialog = gtk_dialog_new();
  GtkWindow* window = GTK_WINDOW(dialog);
  gtk_window_set_title(window, req.title.c_str());
  gtk_window_set_modal(window, TRUE);
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
  GtkWindow* owner = OwnerWindow(req.owner);
  if (owner != nullptr) {
    gtk_window_set_transient_for(window, owner);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_skip_taskbar_hint(window, TRUE);
  } else {
    // Nothing of ours on the screen: a box of its own, above other programs' windows, that
    // the taskbar lists.
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    gtk_window_set_keep_above(window, TRUE);
  }
  SetIcons(window, owner);
  // A title bar of its own with the title and a close button only: window managers that give
  // every dialog a minimise button (openbox does, whatever the hints say) draw none here.
  GtkWidget* bar = gtk_header_bar_new();
  gtk_header_bar_set_title(GTK_HEADER_BAR(bar), req.title.c_str());
  gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(bar), TRUE);
  gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(bar), ":close");
  gtk_widget_show(bar);
  gtk_window_set_titlebar(window, bar);

  // The icon and the text, side by side, both centred on the same line.
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
  gtk_widget_set_halign(row, GTK_ALIGN_CENTER);
  gtk_widget_set_margin_start(row, 24);
  gtk_widget_set_margin_end(row, 24);
  gtk_widget_set_margin_top(row, 18);
  gtk_widget_set_margin_bottom(row, 14);
  if (const char* icon = IconName(req.type)) {
    GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(image, GTK_ALIGN_CENTER);
    gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
  }
  GtkWidget* label = gtk_label_new(req.text.c_str());
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), std::max(40, KeepAddressesWhole(label)));
  gtk_label_set_selectable(GTK_LABEL(label), FALSE);
  gtk_widget_set_valign(label, GTK_ALIGN_CENTER);
  gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
  gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, TRUE, TRUE, 0);

  // The buttons centred under the text, each of its own width, the first one the default.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  GtkWidget* actions = gtk_dialog_get_action_area(GTK_DIALOG(dialog));
  gtk_button_box_set_layout(GTK_BUTTON_BOX(actions), GTK_BUTTONBOX_CENTER);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_box_set_spacing(GTK_BOX(actions), 12);
  gtk_widget_set_margin_bottom(actions, 6);
  GtkWidget* first = nullptr;
  if (yesNo) {
    first = AddButton(GTK_DIALOG(dialog), "是(_Y)", GTK_RESPONSE_YES);
    AddButton(GTK_DIALOG(dialog), "否(_N)", GTK_RESPONSE_NO);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_YES);
  } else {
    first = AddButton(GTK_DIALOG(dialog), "确定", GTK_RESPONSE_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  }
  // The default button looks it, and has the focus.
  gtk_style_context_add_class(gtk_widget_get_style_context(first), "suggested-action");
  gtk_widget_show_all(gtk_dialog_get_content_area(GTK_DIALOG(dialog)));
  gtk_widget_grab_focus(first);

  int response = GTK_RESPONSE_NONE;
  {
    const ModalLoopScope modal([window] { gtk_window_present(window); });
    response = gtk_dialog_run(GTK_DIALOG(dialog));
  }
  gtk_widget_destroy(dialog);
  if (yesNo) return response == GTK_RESPONSE_YES ? IDYES : IDNO;
  return IDOK;
}

}  // namespace

int MessageBox(HWND owner, std::string_view text, std::string_view title, unsigned type) {
  MessageBoxRequest req{std::string(text), std::string(title), type, owner};
  if (kBoxLog.On()) kBoxLog(req.title + " | " + req.text);
  if (Responder()) return Responder()(req);
  return ShowDialog(req);
}

int MessageBox(std::string_view text, std::string_view title, unsigned type) {
  return MessageBox(0, text, title, type);
}

MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder) {
  return std::exchange(Responder(), std::move(responder));
}

}  // namespace platform
