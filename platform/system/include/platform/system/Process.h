#pragma once

#include <string>

// What the process was started with.

namespace platform {

// Records the command line once, at start.
void SetCommandLine(int argc, char** argv);
// The command-line text: the arguments after the program name, joined with single spaces.
const std::string& Command();

// This process's id, and whether the process `pid` runs (for records that name their writer).
long CurrentProcessId();
bool ProcessRuns(long pid);

}  // namespace platform
