#pragma once

#include <string>

#include "platform/window/Window.h"

// The main window's execute link (topic "VelmoraDDE") on the user's session bus:
//   name       net.zorvik.talmar2.VelmoraDDE
//   object     /net/zorvik/talmar2/VelmoraDDE
//   interface  net.zorvik.talmar2.DDE, method Execute(s command)
// A command reaches the window as WM_DDE_EXECUTE (platform/SessionService.h).

inline constexpr const char* kDdeService = "net.zorvik.talmar2";
inline constexpr const char* kDdeTopic = "VelmoraDDE";

// Offers the topic with `hWnd` as its window; false when another running client offers it.
bool StartDdeLink(platform::HWND hWnd);
void StopDdeLink();
// Hands `url` to the running client's window. 0 when it was accepted; otherwise a non-zero exit
// code, with `message` saying why.
int OpenInRunningClient(const std::string& url, std::string& message);
