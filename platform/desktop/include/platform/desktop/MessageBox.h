#pragma once

#include <functional>
#include <string>
#include <string_view>

// The platform's standard message boxes: modal, with a fixed text, a title, an icon and buttons.

namespace platform {

enum : unsigned {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
  std::string text;
  std::string title;
  unsigned type = MB_OK;  // buttons | icon
};

// Shows the box and returns the button chosen (IDOK, IDYES, IDNO). Closing a Yes/No box
// without choosing counts as No; closing an OK box counts as OK.
int MessageBox(std::string_view text, std::string_view title, unsigned type);

// Tests answer boxes through a responder instead of the screen. Returns the previous one; an
// empty responder restores the real dialog.
using MessageBoxResponder = std::function<int(const MessageBoxRequest&)>;
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);

}  // namespace platform
