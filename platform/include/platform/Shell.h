#pragma once

#include <string>

// Opening things the way the desktop does.

namespace platform {

// "open" on `file`:
// - an http or https address opens in the user's default browser; other schemes are refused;
// - a program (an executable file, or an ELF binary that lacks its execute bit because it was
//   just written) is started directly with `parameters` as its one argument (none when empty);
// - any other file opens in its default application.
// Returns false when nothing could be started.
bool ShellExecuteOpen(const std::string& file, const std::string& parameters);

}  // namespace platform
