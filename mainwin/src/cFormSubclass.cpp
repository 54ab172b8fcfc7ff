#include "mainwin/cFormSubclass.h"

// The per-window procedure. It is owned by its registered procedure value, so it stays valid
// for as long as a call through that value is running, whatever became of its owner.
struct cFormSubclass::ProcObject {
  cFormSubclass* owner = nullptr;  // not a reference: null once detached
  platform::WNDPROC self = 0;
  platform::WNDPROC prev = 0;
  MsgTable before;
  MsgTable after;
  int depth = 0;          // dispatches through this object running now
  bool released = false;  // detached during a dispatch: unregister when the last one returns

  static bool Selects(const MsgTable& table, UINT uMsg) {
    if (table.count == ALL_MESSAGES) return true;
    const auto msg = static_cast<std::int32_t>(uMsg);
    for (std::int32_t i = 0; i < table.count; ++i) {
      if (table.entries[i] == msg) return true;
    }
    return false;
  }

  static void Add(MsgTable& table, std::int32_t uMsg) {
    if (uMsg == ALL_MESSAGES) {
      table.count = ALL_MESSAGES;
      return;
    }
    // A table that holds every message already holds this one.
    if (table.count == ALL_MESSAGES) return;
    for (std::int32_t i = 0; i < table.count; ++i) {
      if (table.entries[i] == 0) {
        table.entries[i] = uMsg;
        return;
      }
      if (table.entries[i] == uMsg) return;
    }
    table.entries.push_back(uMsg);
    table.count = static_cast<std::int32_t>(table.entries.size());
  }

  static void Delete(MsgTable& table, std::int32_t uMsg) {
    if (uMsg == ALL_MESSAGES) {
      table = MsgTable{};
      return;
    }
    for (std::int32_t i = 0; i < table.count; ++i) {
      if (table.entries[i] == uMsg) {
        table.entries[i] = 0;
        return;
      }
    }
  }

  LRESULT Dispatch(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    ++depth;
    LRESULT lReturn = 0;
    bool bHandled = false;
    if (owner != nullptr && Selects(before, uMsg)) {
      owner->zSubclass_Proc(true, bHandled, lReturn, hWnd, uMsg, wParam, lParam);
    }
    if (!bHandled) {
      lReturn = platform::CallWindowProc(prev, hWnd, uMsg, wParam, lParam);
      // A handler that ended the owner detached this object: owner is null, tables are empty.
      if (owner != nullptr && Selects(after, uMsg)) {
        owner->zSubclass_Proc(false, bHandled, lReturn, hWnd, uMsg, wParam, lParam);
      }
    }
    --depth;
    if (depth == 0 && released) platform::UnregisterWindowProc(self);
    return lReturn;
  }
};

cFormSubclass::~cFormSubclass() {
  DetachAll();
}

void cFormSubclass::zSubclass_Proc(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND& lng_hWnd,
                                   UINT& uMsg, WPARAM& wParam, LPARAM& lParam) {
  // A copy, so a handler that ends this instance does not destroy the code it is running.
  const MsgComeHandler handler = MsgCome;
  if (handler) handler(bBefore, bHandled, lReturn, lng_hWnd, uMsg, wParam, lParam);
}

bool cFormSubclass::AddWindowMsgs(HWND hWnd) {
  const int index = Attach(hWnd);
  ProcObject::Add(m_records[index].proc->before, ALL_MESSAGES);
  return true;
}

bool cFormSubclass::DeleteWindowMsg(HWND /*hWnd*/) {
  return false;
}

int cFormSubclass::Attach(HWND hWnd) {
  int index = -1;
  for (int i = static_cast<int>(m_records.size()) - 1; i >= 0; --i) {
    if (m_records[i].hWnd == 0) {
      index = i;
      break;
    }
  }
  if (index < 0) {
    m_records.emplace_back();
    index = static_cast<int>(m_records.size()) - 1;
  }
  auto proc = std::make_shared<ProcObject>();
  proc->owner = this;
  proc->self =
      platform::RegisterWindowProc([proc](HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        return proc->Dispatch(h, uMsg, wParam, lParam);
      });
  // Not checked: a failed install leaves a record whose previous procedure is 0, and calls
  // through 0 do nothing.
  proc->prev = platform::SetWindowLongPtr(hWnd, platform::GWL_WNDPROC, proc->self);
  m_records[index] = Record{hWnd, std::move(proc)};
  return index;
}

void cFormSubclass::AddMsg(HWND hWnd, std::int32_t uMsg, int when) {
  const int index = FindRecord(hWnd);
  if (index < 0) return;
  ProcObject& proc = *m_records[index].proc;
  if ((when & MSG_BEFORE) != 0) ProcObject::Add(proc.before, uMsg);
  if ((when & MSG_AFTER) != 0) ProcObject::Add(proc.after, uMsg);
}

void cFormSubclass::DelMsg(HWND hWnd, std::int32_t uMsg, int when) {
  const int index = FindRecord(hWnd);
  if (index < 0) return;
  ProcObject& proc = *m_records[index].proc;
  if ((when & MSG_BEFORE) != 0) ProcObject::Delete(proc.before, uMsg);
  if ((when & MSG_AFTER) != 0) ProcObject::Delete(proc.after, uMsg);
}

void cFormSubclass::Detach(HWND hWnd) {
  const int index = FindRecord(hWnd);
  if (index < 0) return;
  const std::shared_ptr<ProcObject> proc = std::move(m_records[index].proc);
  m_records[index] = Record{};
  // Exactly what was there when the hook was attached, whatever is installed now.
  platform::SetWindowLongPtr(hWnd, platform::GWL_WNDPROC, proc->prev);
  proc->before = MsgTable{};
  proc->after = MsgTable{};
  proc->owner = nullptr;
  if (proc->depth == 0) {
    platform::UnregisterWindowProc(proc->self);
  } else {
    proc->released = true;
  }
}

void cFormSubclass::DetachAll() {
  for (int i = static_cast<int>(m_records.size()) - 1; i >= 0; --i) {
    if (m_records[i].hWnd != 0) Detach(m_records[i].hWnd);
  }
}

const cFormSubclass::MsgTable* cFormSubclass::Table(HWND hWnd, int when) const {
  const int index = FindRecord(hWnd);
  if (index < 0) return nullptr;
  const ProcObject& proc = *m_records[index].proc;
  return (when & MSG_BEFORE) != 0 ? &proc.before : &proc.after;
}

int cFormSubclass::FindRecord(HWND hWnd) const {
  if (hWnd == 0) return -1;
  for (int i = static_cast<int>(m_records.size()) - 1; i >= 0; --i) {
    if (m_records[i].hWnd == hWnd) return i;
  }
  return -1;
}
