#pragma once

#include <string>
#include <string_view>
#include <vector>

// Opening things the way the desktop does.

namespace platform {

// "open" on `file`:
// - an http or https address opens in the user's default browser; where the desktop names none,
//   the commands of the BROWSER variable are tried in order (BrowserCommands); other schemes
//   are refused;
// - a program (a file with its execute bit) is started directly with `parameters` as its one
//   argument (none when empty);
// - any other file opens in its default application; nothing is ever made executable here.
// Returns false when nothing could be started.
bool ShellExecuteOpen(const std::string& file, const std::string& parameters);

// The commands the BROWSER variable's text names for opening `uri`, in order: its
// colon-separated entries (empty ones skipped), each with every "%s" replaced by the address
// and "%%" by "%", or the address added as the last argument where the entry has no "%s". The
// address is quoted as one word: each command is split into arguments as a shell would split
// it, and run without a shell.
std::vector<std::string> BrowserCommands(std::string_view variable, std::string_view uri);

// Starts a program of ours that was just written and may lack its execute bit (the updater, the
// client): an ELF file this user owns is given the bit first. `parameters` is its one argument
// (none when empty). False when it could not be started.
bool StartProgram(const std::string& file, const std::string& parameters);

}  // namespace platform
