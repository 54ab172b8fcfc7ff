#pragma once

#include <functional>

// What the main window asks of the program above it. app/ fills it in at start; an entry left
// empty does nothing.
struct MainWindowHost {
  // Shows the login window, modeless and without owner (another login: a successful one hands
  // its game address back to the main window's SetURL).
  std::function<void()> showLogin;
};

// The host the main window uses; one per process.
MainWindowHost& TheMainWindowHost();
