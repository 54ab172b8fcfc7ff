#include "controls/CSubclass.h"

#include <array>
#include <cerrno>
#include <new>
#include <string_view>
#include <utility>

#include "platform/system/EventLog.h"
#include "platform/window/WindowSubclass.h"

namespace controls {

namespace {

using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WPARAM;

// Release states of a hook record; anything but kActive means the record is released.
enum : int {
  kActive = 0,
  kDetached = 1,
  kOwnerGone = 0x82,
  kWindowDestroyed = 0x8000,
};

// How long a released record waits before it is freed.
constexpr UINT kReleaseDelayMs = 100;

void LogError(std::string_view routine, std::string_view message) {
  std::string line = "CSubclass.";
  line += routine;
  line += ": ";
  line += message;
  platform::LogEvent(line);
}

// One phase's message table: count 0 selects nothing, ALL_MESSAGES every message, n the
// entries 1..n, where an entry of 0 is a hole left by a removal.
struct MsgTable {
  std::int32_t count = 0;
  std::array<std::int32_t, CSubclass::MSG_ENTRIES> entries{};  // entries[i - 1] is entry i

  bool Selects(UINT uMsg) const {
    if (count == CSubclass::ALL_MESSAGES) return true;
    const auto msg = static_cast<std::int32_t>(uMsg);
    for (std::int32_t i = 0; i < count; ++i) {
      if (entries[i] == msg) return true;
    }
    return false;
  }

  void Add(std::int32_t uMsg) {
    if (uMsg == CSubclass::ALL_MESSAGES) {
      count = CSubclass::ALL_MESSAGES;
      return;
    }
    // A table that holds every message already holds this one: adding it must not narrow the
    // table to this message alone.
    if (count == CSubclass::ALL_MESSAGES) return;
    std::int32_t i = 1;
    for (; i <= count; ++i) {
      if (entries[i - 1] == 0) {
        entries[i - 1] = uMsg;
        return;
      }
      if (entries[i - 1] == uMsg) return;
    }
    // Past the loop i is count + 1.
    if (i > CSubclass::MSG_ENTRIES) {
      LogError("zAddMsg",
               "Message table overflow. Either increase the value of Const MSG_ENTRIES or use "
               "ALL_MESSAGES instead of specific message values");
      return;
    }
    entries[i - 1] = uMsg;
    count = i;
  }

  void Remove(std::int32_t uMsg) {
    if (uMsg == CSubclass::ALL_MESSAGES) {
      count = 0;
      return;
    }
    for (std::int32_t i = 0; i < count; ++i) {
      if (entries[i] == uMsg) {
        entries[i] = 0;
        return;
      }
    }
  }
};

}  // namespace

// One hooked window: one link of the window's hook chain. The chain holds the record while the
// link is in it, so the record outlives the instance that created it; the release timer holds
// it from the moment the link is taken out until it is freed.
struct CSubclass::SubclassHook : std::enable_shared_from_this<SubclassHook> {
  int depth = 0;
  int releaseState = kActive;
  HWND hWnd = 0;
  // The record's link in the window's hook chain; what lies below it is the previous procedure.
  platform::UINT_PTR link = 0;
  // The owner's receiving routine. When it can no longer be locked (or is empty) the owner is
  // gone.
  std::weak_ptr<Receiver> owner;
  MsgTable before;
  MsgTable after;
  LPARAM lParamUser = 0;
  bool destroyOnOwnerLoss = false;
  platform::UINT_PTR timerId = 0;
  // Every window here is Unicode and the window layer has one set of calls, so the flag does not
  // change which calls are made; it records what the client was told.
  bool unicode = false;

  LRESULT Proc(HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    ++depth;
    LRESULT lReturn = 0;
    std::shared_ptr<Receiver> routine;
    if (releaseState == kActive) {
      routine = owner.lock();
      if (!routine || !*routine) releaseState = kOwnerGone;
    }
    if (releaseState != kActive) {
      lReturn = CallPrevious(h, uMsg, wParam, lParam);
    } else {
      bool bHandled = false;
      if (before.Selects(uMsg)) {
        (*routine)(true, bHandled, lReturn, h, uMsg, wParam, lParam, lParamUser);
      }
      if (!bHandled) {
        lReturn = CallPrevious(h, uMsg, wParam, lParam);
        // A handler that unhooked the window (or dropped the instance) emptied the tables, so
        // nothing of the client is reached from here on.
        if (after.Selects(uMsg)) {
          (*routine)(false, bHandled, lReturn, h, uMsg, wParam, lParam, lParamUser);
        }
      }
    }
    --depth;
    if (uMsg == platform::WM_NCDESTROY) releaseState = kWindowDestroyed;
    // Only the outermost message of the window may take the hook down: nested ones return
    // into frames that still run through it.
    if (depth == 0 && releaseState != kActive) LeaveReleased();
    return lReturn;
  }

  LRESULT CallPrevious(HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (timerId != 0) {
      platform::KillTimer(0, timerId);
      timerId = 0;
    }
    return platform::CallNextSubclass(hWnd, link, h, uMsg, wParam, lParam);
  }

  void LeaveReleased() {
    // Out of the chain, wherever it is in it: hooks installed above or below stay as they are.
    platform::RemoveWindowSubclass(hWnd, link);
    if (releaseState == kOwnerGone && destroyOnOwnerLoss) platform::DestroyWindow(hWnd);
    if (timerId != 0) platform::KillTimer(0, timerId);
    timerId = platform::SetTimer(
        0, 0, kReleaseDelayMs,
        [self = shared_from_this()](HWND, UINT, platform::UINT_PTR id, platform::DWORD) {
          // Killing the timer drops this callback and with it the last hold on the record.
          self->timerId = 0;
          platform::KillTimer(0, id);
        });
  }
};

CSubclass::CSubclass() {
  // The routine that raises WindowProc. The handler is copied first so that a handler that
  // destroys this instance does not pull its own code out from under itself.
  m_routines.push_back(std::make_shared<Receiver>(
      [this](bool bBefore, bool& bHandled, LRESULT& lReturn, HWND hWnd, UINT uMsg, WPARAM wParam,
             LPARAM lParam, LPARAM& lParamUser) {
        const Receiver handler = WindowProc;
        if (handler) handler(bBefore, bHandled, lReturn, hWnd, uMsg, wParam, lParam, lParamUser);
      }));
}

CSubclass::~CSubclass() {
  ssc_Terminate();
}

int CSubclass::AddReceivingRoutine(Receiver routine) {
  m_routines.insert(m_routines.begin(), std::make_shared<Receiver>(std::move(routine)));
  return static_cast<int>(m_routines.size());
}

void CSubclass::RemoveReceivingRoutine(int nOrdinal) {
  // nOrdinal 1 is the instance's own WindowProc routine and stays.
  const int size = static_cast<int>(m_routines.size());
  if (nOrdinal < 2 || nOrdinal > size) return;
  m_routines[size - nOrdinal].reset();
}

void CSubclass::TrackMouseTracking(HWND hWnd) {
  // The one-shot leave notification (TME_LEAVE) is always available from the window layer, so
  // the instance's flag never selects a fallback.
  if (m_bTrackUser32) platform::TrackMouseLeave(hWnd);
}

bool CSubclass::ssc_Subclass(HWND hWnd, LPARAM lParamUser, int nOrdinal, bool bIdeSafety,
                             bool* bUnicode, bool bIsAPIwindow) {
  constexpr std::string_view kRoutine = "ssc_Subclass";
  if (!platform::IsWindow(hWnd)) {
    LogError(kRoutine, "Invalid window handle");
    return false;
  }
  platform::DWORD pid = 0;
  platform::GetWindowThreadProcessId(hWnd, &pid);
  if (pid != platform::GetCurrentProcessId()) {
    LogError(kRoutine, "Window handle belongs to another process");
    return false;
  }
  const int routines = static_cast<int>(m_routines.size());
  if (nOrdinal < 1 || nOrdinal > routines || !m_routines[routines - nOrdinal]) {
    LogError(kRoutine, "Callback method not found");
    return false;
  }

  // The record. Memory exhaustion is the only way this can fail, and it is reported with the
  // system's number for it.
  std::shared_ptr<SubclassHook> hook;
  try {
    hook = std::make_shared<SubclassHook>();
  } catch (const std::bad_alloc&) {
    LogError(kRoutine, "VirtualAlloc failed, error: " + std::to_string(ENOMEM));
    return false;
  }

  if (!m_registry) m_registry.emplace();
  for (const Entry& entry : *m_registry) {
    if (entry.hWnd == hWnd) {
      LogError(kRoutine, "Window handle is already subclassed");
      return false;
    }
  }
  m_registry->push_back(Entry{hWnd, hook});

  hook->hWnd = hWnd;
  hook->owner = m_routines[routines - nOrdinal];
  hook->lParamUser = lParamUser;
  // Asking for Unicode is answered by IsWindowUnicode, and every window of ours takes Unicode
  // text: the caller's true stays true, false stays false.
  bool unicode = false;
  if (bUnicode != nullptr && *bUnicode) {
    *bUnicode = true;
    unicode = true;
  }
  hook->unicode = unicode;
  if (bIsAPIwindow) hook->destroyOnOwnerLoss = true;

  hook->link = platform::NewSubclassId();
  const bool installed = platform::SetWindowSubclass(
      hWnd,
      [hook](HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam, platform::UINT_PTR,
             platform::DWORD_PTR) { return hook->Proc(h, uMsg, wParam, lParam); },
      hook->link, 0);
  if (!installed) {
    const platform::DWORD error = platform::GetLastError();
    LogError(kRoutine, "SetWindowLong failed, error #" + std::to_string(error));
    // The record goes with this function; its registry entry stays behind, inert.
    return false;
  }
  return true;
}

void CSubclass::ssc_Terminate() {
  if (!m_registry) return;
  std::vector<HWND> live;
  for (auto it = m_registry->rbegin(); it != m_registry->rend(); ++it) {
    if (!it->hook.expired()) live.push_back(it->hWnd);
  }
  for (HWND h : live) ssc_UnSubclass(h);
  m_registry.reset();
}

void CSubclass::ssc_UnSubclass(HWND hWnd) {
  const std::shared_ptr<SubclassHook> hook = zMap_VFunction(hWnd, true);
  if (!hook) return;
  hook->releaseState = kDetached;
  hook->before.count = 0;
  hook->after.count = 0;
  std::erase_if(*m_registry, [hWnd](const Entry& e) { return e.hWnd == hWnd; });
}

CSubclass::LRESULT CSubclass::ssc_CallOrigWndProc(HWND hWnd, UINT uMsg, WPARAM wParam,
                                                  LPARAM lParam) {
  const std::shared_ptr<SubclassHook> hook = zMap_VFunction(hWnd, false);
  if (!hook) return 0;
  return platform::CallNextSubclass(hWnd, hook->link, hWnd, uMsg, wParam, lParam);
}

void CSubclass::ssc_AddMsg(HWND hWnd, std::int32_t uMsg, int When) {
  const std::shared_ptr<SubclassHook> hook = zMap_VFunction(hWnd, false);
  if (!hook) return;
  // An overflow of one table does not keep the message out of the other.
  if ((When & MSG_BEFORE) != 0) hook->before.Add(uMsg);
  if ((When & MSG_AFTER) != 0) hook->after.Add(uMsg);
}

void CSubclass::ssc_DelMsg(HWND hWnd, int When, const std::vector<MsgListItem>& Messages) {
  const std::shared_ptr<SubclassHook> hook = zMap_VFunction(hWnd, false);
  if (!hook) return;
  for (const MsgListItem& item : Messages) {
    std::int32_t uMsg = 0;
    if (const auto* v = std::get_if<std::int32_t>(&item)) {
      uMsg = *v;
    } else if (const auto* u = std::get_if<std::uint32_t>(&item)) {
      uMsg = static_cast<std::int32_t>(*u);
    } else if (const auto* s = std::get_if<std::int16_t>(&item)) {
      uMsg = *s;
    } else if (const auto* b = std::get_if<std::uint8_t>(&item)) {
      uMsg = *b;
    } else {
      continue;
    }
    if ((When & MSG_BEFORE) != 0) hook->before.Remove(uMsg);
    if ((When & MSG_AFTER) != 0) hook->after.Remove(uMsg);
  }
}

void CSubclass::zSet_lParamUser(HWND hWnd_Hook_ID, LPARAM NewValue) {
  if (const std::shared_ptr<SubclassHook> hook = zMap_VFunction(hWnd_Hook_ID, false)) {
    hook->lParamUser = NewValue;
  }
}

CSubclass::LPARAM CSubclass::zGet_lParamUser(HWND hWnd_Hook_ID) {
  const std::shared_ptr<SubclassHook> hook = zMap_VFunction(hWnd_Hook_ID, false);
  return hook ? hook->lParamUser : 0;
}

std::shared_ptr<CSubclass::SubclassHook> CSubclass::zMap_VFunction(HWND hWnd, bool silent) {
  constexpr std::string_view kRoutine = "zMap_VFunction";
  if (!m_registry) {
    if (!silent) LogError(kRoutine, "Thunk hasn't been initialized");
    return nullptr;
  }
  for (const Entry& entry : *m_registry) {
    // A freed record leaves an inert entry: found, but nothing to do and nothing to say.
    if (entry.hWnd == hWnd) return entry.hook.lock();
  }
  if (!silent && !m_registry->empty()) LogError(kRoutine, "Thunk type for  does not exist");
  return nullptr;
}

}  // namespace controls
