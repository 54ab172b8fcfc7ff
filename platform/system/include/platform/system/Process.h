#pragma once

#include <cstdint>
#include <optional>
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

// What the system tells of a process, so that a record naming its writer can tell that writer
// from a program that got the same id later.
struct ProcessFacts {
  bool zombie = false;         // it has ended; its parent has not collected it yet
  std::string program;         // its executable's base name; empty when it cannot be read
  std::string name;            // the name it was started as (the system keeps 15 bytes of it)
  std::string boot;            // the system's start the process belongs to (changes at each boot)
  std::uint64_t ticks = 0;     // its start, in clock ticks after that boot
  std::int64_t startedAt = 0;  // its start, in seconds since the epoch (to about a second)
};
// Nothing when no process has that id.
std::optional<ProcessFacts> ProcessInfo(long pid);

}  // namespace platform
