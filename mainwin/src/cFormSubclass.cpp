#include "mainwin/cFormSubclass.h"

#include "platform/window/WindowSubclass.h"

// The per-window procedure: one link of the window's hook chain. The chain holds it, so it stays
// valid for as long as a call through it is running, whatever became of its owner.
struct cFormSubclass::ProcObject {
  cFormSubclass* owner = nullptr;  // not a reference: null once detached
  HWND hWnd = 0;
  platform::UINT_PTR link = 0;  // its id in the window's chain
  MsgTable before;
  MsgTable after;

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

  LRESULT Dispatch(HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lReturn = 0;
    bool bHandled = false;
    if (owner != nullptr && Selects(before, uMsg)) {
      owner->zSubclass_Proc(true, bHandled, lReturn, h, uMsg, wParam, lParam);
    }
    if (!bHandled) {
      // What the before call left (a changed window, message or parameters) goes on down.
      lReturn = platform::CallNextSubclass(hWnd, link, h, uMsg, wParam, lParam);
      // A handler that ended the owner detached this object: owner is null, tables are empty.
      if (owner != nullptr && Selects(after, uMsg)) {
        owner->zSubclass_Proc(false, bHandled, lReturn, h, uMsg, wParam, lParam);
      }
    }
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
  proc->hWnd = hWnd;
  proc->link = platform::NewSubclassId();
  // Not checked: a failed install leaves a record whose procedure object is never called.
  platform::SetWindowSubclass(
      hWnd,
      [proc](HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam, platform::UINT_PTR,
             platform::DWORD_PTR) { return proc->Dispatch(h, uMsg, wParam, lParam); },
      proc->link, 0);
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
  // Only this record's link leaves the chain: hooks placed above or below it since keep working,
  // and the window's own procedure comes back once the last hook is gone. A dispatch running
  // through the object finishes first; the chain holds the object until then.
  platform::RemoveWindowSubclass(hWnd, proc->link);
  proc->before = MsgTable{};
  proc->after = MsgTable{};
  proc->owner = nullptr;
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
