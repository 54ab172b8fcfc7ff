#pragma once

#include <cstddef>
#include <string>

#include "platform/system/EventLog.h"
#include "platform/window/Window.h"

// The main window's execute link (topic "VelmoraDDE") on the user's session bus:
//   name       net.zorvik.talmar2.VelmoraDDE
//   object     /net/zorvik/talmar2/VelmoraDDE
//   interface  net.zorvik.talmar2.DDE, method Execute(s command)
// A command reaches the window as WM_DDE_EXECUTE (platform/SessionService.h).

inline constexpr const char* kDdeService = "net.zorvik.talmar2";
inline constexpr const char* kDdeTopic = "VelmoraDDE";

// The link's channel: what it refuses and drops goes to the event log as "open: ...".
inline const platform::LogChannel kOpenLog("open");

// Offers the topic with `hWnd` as its window; false when another running client offers it.
bool StartDdeLink(platform::HWND hWnd);
void StopDdeLink();
// Hands `url` to the running client's window. 0 when it was accepted; otherwise a non-zero exit
// code, with `message` saying why.
int OpenInRunningClient(const std::string& url, std::string& message);
// The command that hides or shows the running client's main window as F10 does: what a
// desktop without a global hot key for the client (GNOME on Wayland) runs from a custom
// shortcut. It is no web address, so no address can be taken for it. Exit codes as above.
inline constexpr const char* kToggleCommand = "[toggle]";
int ToggleRunningClient(std::string& message);

// Only web addresses open a tab: anything else (javascript:, file:, data:, ftp:, plain text)
// could only ever show a blank page or run something. Empty when `url` may be opened, else why
// not, in a short sentence.
std::string WhyNotOpened(const std::string& url);

// The client's link from start-up on: a hidden window of its own offers the topic, so that an
// address that comes before the main window is not lost. While no main window exists, addresses
// wait (in the order they came, at most kMaxWaitingAddresses) and are opened as tabs once the
// main window has loaded (OpenWaitingAddresses); with a main window they go to it at once.
// Addresses that are not web addresses are refused and logged. False when another running client
// offers the topic (this one then serves no one).
inline constexpr std::size_t kMaxWaitingAddresses = 32;
bool StartOpenLink();
// The client is about to end (`why`: the connection notice, the update hand-over): from now on
// every address is refused with `why`, and the ones waiting are dropped (logged).
void RefuseOpenLink(const std::string& why);
// Called by the main window at the end of its load: the waiting addresses become its tabs.
class WebMainFrm;
void OpenWaitingAddresses(WebMainFrm& main);
