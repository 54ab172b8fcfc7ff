#pragma once

#include <cstddef>
#include <string>

#include "platform/window/Window.h"

// A program's execute service on the user's session bus, in place of a DDE server: clients hand
// a command text to the window that offers a topic.
//
//   bus name   <service>.<topic>                      (owned only while no one else has it)
//   object     /<service with "." as "/">/<topic>
//   interface  <service>.DDE, method Execute(s command) -> ()
//
// An execute call reaches the window as WM_DDE_EXECUTE with lParam pointing at the command text
// (a const std::string, valid during the call); the window returns non-zero when it accepts
// it, and only then does the caller's call return without an error.

namespace platform {

// Texts longer than this are refused before they reach the window.
inline constexpr std::size_t kMaxDdeCommand = 64 * 1024;

// Offers `topic` with `hwnd` as its window. False when the name is owned by another process
// (another instance), there is no session bus, or the topic is offered already.
bool StartDdeService(const std::string& service, const std::string& topic, HWND hwnd);
void StopDdeService(const std::string& service, const std::string& topic);

// Called by the window while it handles WM_DDE_EXECUTE and refuses the command: the caller's
// error says `why` instead of a bare refusal.
void SetDdeRefusal(const std::string& why);

enum class DdeResult { Accepted, Refused, NoServer, BadText, NoBus };
// Sends one execute command to whoever offers the topic and waits for the answer (bounded).
// `message` receives a sentence for the user when the result is not Accepted.
DdeResult DdeExecute(const std::string& service, const std::string& topic,
                     const std::string& command, std::string* message);

}  // namespace platform
