#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/window/Window.h"

// The platform's standard message boxes: modal, with a fixed text, a title, an icon and buttons.
// A box is a dialog of its owner: kept above it and centred on it, with the owner's window
// icon, no minimise or maximise, the text centred beside the icon and the buttons centred under
// it. The first button is the default (Enter); Escape answers as closing does. Without an owner
// that is on the screen, the box belongs to the program's window that is active (or else on the
// screen) when there is one, and is centred on the screen otherwise.

namespace platform {

enum : unsigned {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  // The icon the text calls for: an error (what was asked cannot be done), a question, a
  // warning (something is wrong, and the player may act on it), information (all is well).
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct MessageBoxRequest {
  std::string text;
  std::string title;
  unsigned type = MB_OK;  // buttons | icon
  HWND owner = 0;         // as the caller gave it
};

// Shows the box and returns the button chosen (IDOK, IDYES, IDNO). Closing a Yes/No box
// without choosing (Escape, the window's close) counts as No; closing an OK box counts as OK.
int MessageBox(HWND owner, std::string_view text, std::string_view title, unsigned type);
int MessageBox(std::string_view text, std::string_view title, unsigned type);

// Tests answer boxes through a responder instead of the screen. Returns the previous one; an
// empty responder restores the real dialog.
using MessageBoxResponder = std::function<int(const MessageBoxRequest&)>;
MessageBoxResponder SetMessageBoxResponder(MessageBoxResponder responder);

}  // namespace platform
