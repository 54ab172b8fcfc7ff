#pragma once

#include <functional>

// What the main window asks of the program above it. app/ fills it in at start; an entry left
// empty does nothing.
struct MainWindowHost {
  // Shows the login window, modeless and without owner (another login: a successful one hands
  // its game address back to the main window's SetURL).
  std::function<void()> showLogin;
  // Shows the login window for another account: its page, and the games it opens, use the
  // website-data session given (1 and up), so that it signs in beside the others.
  std::function<void(int session)> showAccountLogin;
};

// The host the main window uses; one per process.
MainWindowHost& TheMainWindowHost();
