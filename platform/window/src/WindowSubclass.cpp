// The hook chain in front of window procedures (see platform/WindowSubclass.h).

#include "platform/window/WindowSubclass.h"

#include <iterator>
#include <list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/window/detail/WindowImpl.h"

namespace platform {

namespace {

struct Hook {
  UINT_PTR id = 0;
  // Reset when the hook is removed; a call running through it holds its own reference.
  std::shared_ptr<SUBCLASSPROC> proc;
  DWORD_PTR refData = 0;
  bool removed = false;
};

using HookList = std::list<Hook>;  // newest first; nodes stay put while messages are inside

struct Chain {
  WNDPROC chainProc = 0;  // installed as the window's procedure
  WNDPROC replaced = 0;   // what it replaced
  HookList hooks;
  // The hook each running call is inside, innermost last: what DefSubclassProc passes on from.
  std::vector<HookList::iterator> running;
  // Calls inside the chain now. Removed hooks are unlinked, and the chain taken down, only at 0.
  int depth = 0;
  bool ended = false;  // WM_NCDESTROY has passed
};

std::map<HWND, std::unique_ptr<Chain>>& Chains() {
  static auto* const chains = new std::map<HWND, std::unique_ptr<Chain>>;  // process lifetime
  return *chains;
}

Chain* FindChain(HWND hwnd) {
  auto it = Chains().find(hwnd);
  return it == Chains().end() ? nullptr : it->second.get();
}

// Unlinks removed hooks and, once none is left, puts the replaced procedure back and lets the
// chain go. Only called with nothing inside the chain.
void Settle(HWND owner) {
  Chain* chain = FindChain(owner);
  if (chain == nullptr || chain->depth != 0) return;
  std::erase_if(chain->hooks, [](const Hook& h) { return h.removed; });
  if (!chain->hooks.empty()) return;
  if (IsWindow(owner)) {
    // Someone placed a procedure above the chain since: the chain stays as a pass-through, so
    // what that procedure calls next keeps working.
    if (GetWindowLongPtr(owner, GWL_WNDPROC) != chain->chainProc) return;
    SetWindowLongPtr(owner, GWL_WNDPROC, chain->replaced);
  }
  UnregisterWindowProc(chain->chainProc);
  Chains().erase(owner);
}

// Counts a call inside the chain for as long as it runs, also when it leaves by an exception.
class Inside {
 public:
  Inside(HWND owner, Chain& chain) : m_owner(owner), m_chain(chain) { ++m_chain.depth; }
  ~Inside() {
    if (--m_chain.depth == 0) Settle(m_owner);
  }
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;

 private:
  HWND m_owner;
  Chain& m_chain;
};

// Runs the first live hook at or below `from`, or the replaced procedure below the last one.
LRESULT RunFrom(HWND owner, Chain& chain, HookList::iterator from, HWND hwnd, UINT msg,
                WPARAM wParam, LPARAM lParam) {
  auto it = from;
  while (it != chain.hooks.end() && it->removed) ++it;
  if (it == chain.hooks.end()) return CallWindowProc(chain.replaced, hwnd, msg, wParam, lParam);
  const std::shared_ptr<SUBCLASSPROC> proc = it->proc;
  const UINT_PTR id = it->id;
  const DWORD_PTR refData = it->refData;
  const Inside inside(owner, chain);
  chain.running.push_back(it);
  struct Pop {
    std::vector<HookList::iterator>& running;
    ~Pop() { running.pop_back(); }
  } pop{chain.running};
  return (*proc)(hwnd, msg, wParam, lParam, id, refData);
}

LRESULT ChainProc(HWND owner, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Chain* chain = FindChain(owner);
  if (chain == nullptr) return 0;  // unregistered with the chain; not reached
  const Inside inside(owner, *chain);
  const LRESULT result = RunFrom(owner, *chain, chain->hooks.begin(), hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY && hwnd == owner) {
    chain->ended = true;
    for (Hook& h : chain->hooks) {
      h.removed = true;
      h.proc.reset();
    }
  }
  return result;
}

UINT_PTR g_nextId = 0x5C000000;

}  // namespace

namespace detail {
// The window is gone from the registry: whatever chain it had goes too, once no call is inside.
void ForgetSubclassChain(HWND hwnd) {
  Chain* chain = FindChain(hwnd);
  if (chain == nullptr) return;
  for (Hook& h : chain->hooks) {
    h.removed = true;
    h.proc.reset();
  }
  Settle(hwnd);
}
}  // namespace detail

UINT_PTR NewSubclassId() {
  return g_nextId++;
}

bool SetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR uIdSubclass, DWORD_PTR dwRefData) {
  if (!IsWindow(hwnd)) {
    SetLastError(detail::ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (!proc) {
    SetLastError(detail::ERROR_INVALID_PARAMETER);
    return false;
  }
  Chain* chain = FindChain(hwnd);
  if (chain != nullptr && chain->ended) {
    SetLastError(detail::ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (chain == nullptr) {
    auto fresh = std::make_unique<Chain>();
    fresh->chainProc = RegisterWindowProc(
        [hwnd](HWND h, UINT m, WPARAM w, LPARAM l) { return ChainProc(hwnd, h, m, w, l); });
    fresh->replaced = SetWindowLongPtr(hwnd, GWL_WNDPROC, fresh->chainProc);
    if (fresh->replaced == 0) {  // GetLastError says why
      UnregisterWindowProc(fresh->chainProc);
      return false;
    }
    chain = Chains().emplace(hwnd, std::move(fresh)).first->second.get();
  }
  for (Hook& h : chain->hooks) {
    if (h.id == uIdSubclass && !h.removed) {
      *h.proc = std::move(proc);
      h.refData = dwRefData;
      return true;
    }
  }
  chain->hooks.push_front(
      Hook{uIdSubclass, std::make_shared<SUBCLASSPROC>(std::move(proc)), dwRefData, false});
  return true;
}

bool GetWindowSubclass(HWND hwnd, UINT_PTR uIdSubclass, DWORD_PTR* dwRefData) {
  if (Chain* chain = FindChain(hwnd)) {
    for (const Hook& h : chain->hooks) {
      if (h.id == uIdSubclass && !h.removed) {
        if (dwRefData != nullptr) *dwRefData = h.refData;
        return true;
      }
    }
  }
  return false;
}

bool RemoveWindowSubclass(HWND hwnd, UINT_PTR uIdSubclass) {
  Chain* chain = FindChain(hwnd);
  if (chain == nullptr) return false;
  for (Hook& h : chain->hooks) {
    if (h.id == uIdSubclass && !h.removed) {
      h.removed = true;
      h.proc.reset();
      Settle(hwnd);
      return true;
    }
  }
  return false;
}

LRESULT DefSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Chain* chain = FindChain(hwnd);
  if (chain == nullptr) return DefWindowProc(hwnd, msg, wParam, lParam);
  if (chain->running.empty()) return CallWindowProc(chain->replaced, hwnd, msg, wParam, lParam);
  const Inside inside(hwnd, *chain);
  return RunFrom(hwnd, *chain, std::next(chain->running.back()), hwnd, msg, wParam, lParam);
}

LRESULT CallNextSubclass(HWND chainOf, UINT_PTR uIdSubclass, HWND hwnd, UINT msg, WPARAM wParam,
                         LPARAM lParam) {
  Chain* chain = FindChain(chainOf);
  if (chain == nullptr) return 0;
  for (auto it = chain->hooks.begin(); it != chain->hooks.end(); ++it) {
    // A removed hook still in the list (messages are inside) still has a place to pass on from.
    if (it->id == uIdSubclass) {
      const Inside inside(chainOf, *chain);
      return RunFrom(chainOf, *chain, std::next(it), hwnd, msg, wParam, lParam);
    }
  }
  return 0;
}

}  // namespace platform
