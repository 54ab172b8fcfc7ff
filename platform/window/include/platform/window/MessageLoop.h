#pragma once

// The user-interface thread's message loop: the GLib main context stands in for the Windows
// message queue.

namespace platform {

// Starts the toolkit for a program that shows windows. Returns false when there is no display.
bool InitToolkit(int& argc, char**& argv);

// Processes the messages that are queued now and returns; what they queue in turn may run too,
// but the call ends after a bounded number of dispatches even when a source is always ready.
void DoEvents();

// Runs the loop until QuitMessageLoop is called.
void RunMessageLoop();
void QuitMessageLoop();

// Ends the process at once: no window is unloaded and no unload step runs.
[[noreturn]] void EndProcessNow(int exitCode = 0);

}  // namespace platform
