#pragma once

#include <functional>

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

// Modal loops (a modal form, a message box) nest. While one runs, the program's other windows
// take no input, but messages still arrive: commands that come from outside those windows (the
// tray icon's menu) ask here and are refused. A scope stands for one modal loop; `present`
// brings its window to the front.
class ModalLoopScope {
 public:
  explicit ModalLoopScope(std::function<void()> present);
  ~ModalLoopScope();
  ModalLoopScope(const ModalLoopScope&) = delete;
  ModalLoopScope& operator=(const ModalLoopScope&) = delete;
};
bool InModalLoop();
// Called with true when the first modal loop begins and with false when the last one has ended
// (a window that should not stand beside a box, such as a splash, steps aside meanwhile). One
// listener; an empty function removes it.
void SetModalLoopListener(std::function<void(bool modal)> listener);
// Brings the innermost modal loop's window to the front; false when none runs.
bool PresentModalWindow();

// Ends the process at once: no window is unloaded and no unload step runs.
[[noreturn]] void EndProcessNow(int exitCode = 0);

}  // namespace platform
