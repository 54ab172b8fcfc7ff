#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/window/Window.h"

// Window subclassing for one client object: chosen messages of any number of windows of our
// own process reach the client as the event WindowProc, before and/or after the window's own
// procedure, and the client may change their result or swallow them.
//
// Each hooked window gets a hook record, one link of the window's hook chain (see
// platform/WindowSubclass.h), so hooks of other owners above or below it are left as they are
// when it goes. The record outlives the client's interest in it: it is released first (detached,
// owner gone or window destroyed), leaves the chain only when no message of the window is inside
// the hook any more, and is freed by a 100 ms one-shot thread timer, so a hook can be removed
// from inside its own dispatch.
//
// Errors are never reported to the caller: each writes one line "CSubclass.<routine>: <text>"
// to the application's event log and the operation does nothing.
namespace controls {

class CSubclass {
 public:
  using HWND = platform::HWND;
  using UINT = platform::UINT;
  using WPARAM = platform::WPARAM;
  using LPARAM = platform::LPARAM;
  using LRESULT = platform::LRESULT;

  // Selects every message of a table (ssc_AddMsg, ssc_DelMsg).
  static constexpr std::int32_t ALL_MESSAGES = -1;
  // A message table never holds more entries than this.
  static constexpr int MSG_ENTRIES = 32;
  // `When` bits of ssc_AddMsg and ssc_DelMsg.
  enum : int { MSG_BEFORE = 1, MSG_AFTER = 2, MSG_BEFORE_AND_AFTER = 3 };

  // The WindowProc event (and any other receiving routine):
  // - bBefore: true before the previous procedure ran, false after it.
  // - bHandled: false on entry; set it in the before phase to swallow the message (neither the
  //   previous procedure nor the after phase runs). Ignored in the after phase.
  // - lReturn: the message's result; 0 on entry to the before phase, the previous procedure's
  //   result on entry to the after phase. What it holds after the last phase is returned.
  // - lParamUser: the window's user value; a change is kept in the hook.
  using Receiver = std::function<void(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND hWnd,
                                      UINT uMsg, WPARAM wParam, LPARAM lParam, LPARAM& lParamUser)>;

  // One element of ssc_DelMsg's list. Integers (32-bit signed or unsigned, 16-bit, byte) name
  // messages; anything else is skipped.
  using MsgListItem =
      std::variant<std::int32_t, std::uint32_t, std::int16_t, std::uint8_t, double, std::string>;

  // Raised for every selected message of every window this instance hooked with nOrdinal 1.
  // The handler may destroy this instance; the hook touches nothing of it afterwards.
  Receiver WindowProc;

  CSubclass();
  // Runs ssc_Terminate.
  ~CSubclass();
  CSubclass(const CSubclass&) = delete;
  CSubclass& operator=(const CSubclass&) = delete;
  CSubclass(CSubclass&&) = delete;  // the routine that raises WindowProc is bound to `this`
  CSubclass& operator=(CSubclass&&) = delete;

  // Receiving routines are counted from the end of the instance's routine table: nOrdinal 1 is
  // the routine that raises WindowProc, the first routine added is 2, the next 3, and so on.
  // Returns the new routine's nOrdinal.
  int AddReceivingRoutine(Receiver routine);
  // Takes a routine out of the table; its nOrdinal stays taken. The hooks bound to it find their
  // owner gone on their next message: they release themselves, put the previous procedure back
  // and, if installed with bIsAPIwindow, destroy their window.
  void RemoveReceivingRoutine(int nOrdinal);

  // Asks for one WM_MOUSELEAVE when the pointer leaves hWnd.
  void TrackMouseTracking(HWND hWnd);

  // Hooks hWnd. Returns true when the hook is installed; false (with a log line) for a window
  // that does not exist, belongs to another process, is hooked by this instance already (or
  // was, and its released hook is still registered), when nOrdinal selects no routine, or when
  // the procedure cannot be installed. bIdeSafety is accepted and has no effect. bUnicode (in/out,
  // null = false), when true, is replaced by whether the window is Unicode, which every window
  // here is.
  bool ssc_Subclass(HWND hWnd, LPARAM lParamUser = 0, int nOrdinal = 1, bool bIdeSafety = true,
                    bool* bUnicode = nullptr, bool bIsAPIwindow = false);
  // Unhooks every window of the instance and drops its registry.
  void ssc_Terminate();
  // Unhooks hWnd at once as far as the client is concerned (no further WindowProc); the hook
  // itself puts the previous procedure back when the next message of the window leaves it.
  void ssc_UnSubclass(HWND hWnd);
  // The previous procedure's result for the message; 0 when hWnd is not hooked.
  LRESULT ssc_CallOrigWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  // Adds uMsg (or ALL_MESSAGES) to the before table (When bit 1) and/or the after table (bit 2).
  void ssc_AddMsg(HWND hWnd, std::int32_t uMsg, int When = MSG_AFTER);
  // Removes each integer of Messages (ALL_MESSAGES empties the table) from the selected tables.
  void ssc_DelMsg(HWND hWnd, int When, const std::vector<MsgListItem>& Messages);
  void zSet_lParamUser(HWND hWnd_Hook_ID, LPARAM NewValue);
  LPARAM zGet_lParamUser(HWND hWnd_Hook_ID);

 private:
  struct SubclassHook;
  struct Entry {
    HWND hWnd;
    // Empty once the record was freed: the entry is then inert.
    std::weak_ptr<SubclassHook> hook;
  };

  // Finds the hook of hWnd. Logs a missing registry or an unknown window unless silent.
  std::shared_ptr<SubclassHook> zMap_VFunction(HWND hWnd, bool silent);

  // The receiving routines, last = nOrdinal 1. A removed routine leaves an empty slot.
  std::vector<std::shared_ptr<Receiver>> m_routines;
  // Absent until the first ssc_Subclass and again after ssc_Terminate; kept in the order the
  // windows were hooked.
  std::optional<std::vector<Entry>> m_registry;
  // TrackMouseEvent is always available here; the flag is kept so TrackMouseTracking reads as
  // the routine it stands for.
  bool m_bTrackUser32 = true;
};

}  // namespace controls
