#pragma once

#include <string>

// Opening things the way the desktop does.

namespace platform {

// "open" on `file`:
// - an http or https address opens in the user's default browser; other schemes are refused;
// - a program (a file with its execute bit) is started directly with `parameters` as its one
//   argument (none when empty);
// - any other file opens in its default application; nothing is ever made executable here.
// Returns false when nothing could be started.
bool ShellExecuteOpen(const std::string& file, const std::string& parameters);

// Starts a program of ours that was just written and may lack its execute bit (the updater, the
// client): an ELF file this user owns is given the bit first. `parameters` is its one argument
// (none when empty). False when it could not be started.
bool StartProgram(const std::string& file, const std::string& parameters);

}  // namespace platform
