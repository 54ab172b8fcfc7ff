#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/window/Window.h"

// The form message hook: each window hooked through AddWindowMsgs gets a procedure object of its
// own, bound to this instance, that raises MsgCome for every message before the window's own
// procedure sees it. The handler may change the message or swallow it. Hooks stay until the
// instance ends. Each is one link of the window's hook chain (platform/WindowSubclass.h): taking
// it out leaves the other hooks of the window working, whatever order they were installed in,
// and the window gets its own procedure back when the last one is gone.
//
// A procedure object refers to its owner without keeping it alive: the owner must outlive the
// hook. It may end during a dispatch through one of its own hooks (a MsgCome handler that
// closes the window and drops the owner); the procedure object then stays callable until that
// dispatch has returned and is released afterwards.
class cFormSubclass {
 public:
  using HWND = platform::HWND;
  using UINT = platform::UINT;
  using WPARAM = platform::WPARAM;
  using LPARAM = platform::LPARAM;
  using LRESULT = platform::LRESULT;

  // A table count that selects every message.
  static constexpr std::int32_t ALL_MESSAGES = -1;

  // MsgCome(bBefore, bHandled, lReturn, lng_hWnd, uMsg, wParam, lParam): bBefore is true before
  // the window's procedure and false after it. Setting bHandled skips the window's procedure and
  // the after call; lReturn is then what the message returns. Changes to lng_hWnd, uMsg, wParam
  // and lParam are what the window's procedure receives.
  using MsgComeHandler =
      std::function<void(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND& lng_hWnd, UINT& uMsg,
                         WPARAM& wParam, LPARAM& lParam)>;
  MsgComeHandler MsgCome;

  cFormSubclass() = default;
  // Detaches every hook, newest record first.
  ~cFormSubclass();
  cFormSubclass(const cFormSubclass&) = delete;
  cFormSubclass& operator=(const cFormSubclass&) = delete;
  cFormSubclass(cFormSubclass&&) = delete;  // the procedure objects point at this instance
  cFormSubclass& operator=(cFormSubclass&&) = delete;

  // Called by a procedure object for each selected message; raises MsgCome with the same
  // references.
  void zSubclass_Proc(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND& lng_hWnd, UINT& uMsg,
                      WPARAM& wParam, LPARAM& lParam);
  // Hooks hWnd with a new record that sees every message before the window does. Hooking the
  // same window again adds a second record, which then sees each message first. Always true.
  bool AddWindowMsgs(HWND hWnd);
  // Does nothing: a hook lasts as long as the instance. Always false.
  bool DeleteWindowMsg(HWND hWnd);

 protected:
  // Table selectors of AddMsg and DelMsg (both bits: both tables).
  enum : int { MSG_AFTER = 1, MSG_BEFORE = 2 };

  // Count 0 selects nothing, ALL_MESSAGES every message, n the first n entries; an entry of 0
  // is a free slot.
  struct MsgTable {
    std::int32_t count = 0;
    std::vector<std::int32_t> entries;
  };

  // The operations behind the public ones, on the newest record of hWnd.
  int Attach(HWND hWnd);
  void AddMsg(HWND hWnd, std::int32_t uMsg, int when);
  void DelMsg(HWND hWnd, std::int32_t uMsg, int when);
  void Detach(HWND hWnd);
  void DetachAll();
  // The before (MSG_BEFORE) or after table of the newest record of hWnd; null when not hooked.
  const MsgTable* Table(HWND hWnd, int when) const;

 private:
  struct ProcObject;
  struct Record {
    HWND hWnd = 0;  // 0: a free record
    std::shared_ptr<ProcObject> proc;
  };

  // Index of the newest record of hWnd, -1 when none.
  int FindRecord(HWND hWnd) const;

  std::vector<Record> m_records;
};
