#pragma once

#include <cstdint>
#include <functional>

#include "platform/window/Window.h"

// One chain of hooks in front of a window's procedure, shared by every kind of hook the client
// installs (the generic subclassing class, the form hook, module-level hooks such as the login
// background's and the main window's).
//
// The first hook of a window installs one chain procedure as the window's procedure
// (GWL_WNDPROC) and keeps the procedure it replaced. Every message then runs the newest hook
// first; a hook passes the message on with DefSubclassProc, which calls the next hook down and,
// below the last one, the replaced procedure. Because the hooks are links of one list rather
// than procedures that each saved "the previous one", any hook can be removed in any order and
// the others keep working: nothing is put back that someone else had replaced since.
//
// Rules, as for the desktop's own subclass chains:
// - A hook is known by its window and its id. Installing an id that the window has already
//   replaces that hook's procedure and reference value in place (its position stays).
// - Removing a hook while messages are inside the chain (from its own procedure, from a hook
//   above or below, or from a nested send) takes it out at once for every message that enters
//   from now on; messages already past it finish normally. Its procedure object is released once
//   no call runs through it.
// - When the last hook goes and no message is inside the chain, the replaced procedure is put
//   back, provided the chain procedure is still the window's procedure. If someone replaced it
//   since (a raw SetWindowLongPtr above the chain), the chain procedure stays callable and passes
//   every message straight to the replaced one, so that hook keeps working too.
// - WM_NCDESTROY ends the chain: after it has passed every hook, all hooks are removed.
// - Everything runs on the thread of the window layer; nothing is locked.
namespace platform {

using DWORD_PTR = std::uintptr_t;

// A hook's procedure. Returns the message's result; calls DefSubclassProc to pass the message on
// (or returns without doing so to swallow it). uIdSubclass and dwRefData are the values it was
// installed with.
using SUBCLASSPROC = std::function<LRESULT(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR uIdSubclass, DWORD_PTR dwRefData)>;

// A process-wide id no other caller gets, for hooks that have no fixed id of their own.
UINT_PTR NewSubclassId();

// Installs (or replaces, see above) the hook `uIdSubclass` on hwnd. False with GetLastError set
// when hwnd is not one of our windows, its procedure cannot be replaced, or proc is empty.
bool SetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR uIdSubclass, DWORD_PTR dwRefData);
// The reference value of an installed hook; false when there is none.
bool GetWindowSubclass(HWND hwnd, UINT_PTR uIdSubclass, DWORD_PTR* dwRefData);
// Removes the hook; false when the window has no such hook.
bool RemoveWindowSubclass(HWND hwnd, UINT_PTR uIdSubclass);
// From inside a hook's procedure: passes the message to the next hook down (or the replaced
// procedure). Outside any hook of hwnd it goes to the window's current procedure.
LRESULT DefSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Passes a message to what lies below the hook `uIdSubclass` of `chainOf`, whether or not that
// hook is running now; `hwnd` is the window the message is addressed to (normally `chainOf`).
// 0 when chainOf has no such hook.
LRESULT CallNextSubclass(HWND chainOf, UINT_PTR uIdSubclass, HWND hwnd, UINT msg, WPARAM wParam,
                         LPARAM lParam);

}  // namespace platform
