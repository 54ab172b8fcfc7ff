#include "platform/desktop/MessageBox.h"

#include <gtk/gtk.h>

#include <utility>

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

int ShowDialog(const MessageBoxRequest& req) {
  const bool yesNo = (req.type & 0x0F) == MB_YESNO;
  // The message type only sets the accessible role; GTK 3.24 draws no icon by itself, so the
  // image is set explicitly below.
  GtkMessageType kind = GTK_MESSAGE_OTHER;
  switch (req.type & 0xF0) {
    case MB_ICONQUESTION:
      kind = GTK_MESSAGE_QUESTION;
      break;
    case MB_ICONEXCLAMATION:
      kind = GTK_MESSAGE_WARNING;
      break;
    case MB_ICONINFORMATION:
      kind = GTK_MESSAGE_INFO;
      break;
    default:
      break;
  }
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, kind, GTK_BUTTONS_NONE,
                                             "%s", req.text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), req.title.c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  if (const char* icon = IconName(req.type)) {
    GtkWidget* image = gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_DIALOG);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
    G_GNUC_END_IGNORE_DEPRECATIONS
    gtk_widget_show(image);
  }
  if (yesNo) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), "是(_Y)", GTK_RESPONSE_YES);
    gtk_dialog_add_button(GTK_DIALOG(dialog), "否(_N)", GTK_RESPONSE_NO);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_YES);
  } else {
    gtk_dialog_add_button(GTK_DIALOG(dialog), "确定", GTK_RESPONSE_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  }
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  if (yesNo) return response == GTK_RESPONSE_YES ? IDYES : IDNO;
  return IDOK;
}

}  // namespace

int MessageBox(std::string_view text, std::string_view title, unsigned type) {
  MessageBoxRequest req{std::string(text), std::string(title), type};
  if (kBoxLog.On()) kBoxLog(req.title + " | " + req.text);
  if (Responder()) return Responder()(req);
  return ShowDialog(req);
}

MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder) {
  return std::exchange(Responder(), std::move(responder));
}

}  // namespace platform
