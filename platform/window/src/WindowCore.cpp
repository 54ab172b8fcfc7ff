// The toolkit-independent half of the window layer: handles, procedures, longs, messages,
// timers and the destruction order. Message-only windows live entirely here.

#include <glib.h>

#include <unistd.h>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "platform/system/EventLog.h"
#include "platform/system/detail/Guarded.h"
#include "platform/window/detail/WindowImpl.h"

namespace platform {

namespace detail {

namespace {

struct Registry {
  std::map<HWND, std::unique_ptr<WindowRecord>> windows;
  HWND nextHandle = 0x10010;  // handles are never reused
  std::map<WNDPROC, std::shared_ptr<WindowProcFn>> procs;
  WNDPROC nextProc = 0x7F000010;
  // Procedures called after they were unregistered, each reported once.
  std::set<WNDPROC> deadCalled;
};

Registry& R() {
  static auto* const registry = new Registry;  // lives as long as the process
  return *registry;
}

thread_local DWORD t_lastError = 0;

}  // namespace

WindowRecord* Find(HWND hwnd) {
  auto it = R().windows.find(hwnd);
  return it == R().windows.end() ? nullptr : it->second.get();
}

std::vector<HWND> AllWindows() {
  std::vector<HWND> all;
  for (const auto& [h, rec] : R().windows) all.push_back(h);
  return all;
}

namespace {

HWND AddRecord(std::unique_ptr<WindowRecord> rec) {
  const HWND h = R().nextHandle;
  R().nextHandle += 4;
  rec->hwnd = h;
  R().windows.emplace(h, std::move(rec));
  return h;
}

// ---- Timers ----
struct TimerKey {
  HWND hwnd;
  UINT_PTR id;
  friend auto operator<=>(const TimerKey&, const TimerKey&) = default;
};
struct Timer {
  guint source = 0;
  TIMERPROC proc;
};
std::map<TimerKey, Timer>& Timers() {
  static auto* const timers = new std::map<TimerKey, Timer>;
  return *timers;
}
UINT_PTR g_nextThreadTimer = 0x7FF0;

gboolean OnTimer(gpointer data) {
  auto* key = static_cast<TimerKey*>(data);
  const TimerKey k = *key;
  auto it = Timers().find(k);
  if (it == Timers().end()) return G_SOURCE_REMOVE;
  const DWORD tick = static_cast<DWORD>(g_get_monotonic_time() / 1000);
  Guarded("timer", [&] {
    if (it->second.proc) {
      TIMERPROC proc = it->second.proc;  // the callback may kill or replace its own timer
      proc(k.hwnd, WM_TIMER, k.id, tick);
    } else if (k.hwnd != 0) {
      SendMessage(k.hwnd, WM_TIMER, k.id, 0);
    }
  });
  return G_SOURCE_CONTINUE;
}

void KillWindowTimers(HWND hwnd) {
  auto& timers = Timers();
  for (auto it = timers.begin(); it != timers.end();) {
    if (it->first.hwnd == hwnd) {
      g_source_remove(it->second.source);
      it = timers.erase(it);
    } else {
      ++it;
    }
  }
}

LRESULT CallDefault(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

void SendDestroy(HWND h) {
  SendMessage(h, WM_DESTROY, 0, 0);
  if (WindowRecord* rec = Find(h)) {
    const std::vector<HWND> children = rec->children;
    for (HWND c : children) {
      if (WindowRecord* child = Find(c)) {
        child->destroying = true;
        SendDestroy(c);
      }
    }
  }
}

void SendNcDestroy(HWND h) {
  if (WindowRecord* rec = Find(h)) {
    const std::vector<HWND> children = rec->children;
    for (HWND c : children) SendNcDestroy(c);
  }
  SendMessage(h, WM_NCDESTROY, 0, 0);
}

void Forget(HWND h) {
  WindowRecord* rec = Find(h);
  if (rec == nullptr) return;
  const std::vector<HWND> children = rec->children;
  for (HWND c : children) Forget(c);
  KillWindowTimers(h);
  NativeReleaseCaptureOf(h);
  UnregisterWindowProc(rec->classProc);
  if (WindowRecord* parent = Find(rec->parent)) std::erase(parent->children, h);
  R().windows.erase(h);
  ForgetSubclassChain(h);
}

}  // namespace
}  // namespace detail

using namespace detail;

// ---- Procedures ----

WNDPROC RegisterWindowProc(WindowProcFn fn) {
  const WNDPROC value = R().nextProc;
  R().nextProc += 16;
  R().procs.emplace(value, std::make_shared<WindowProcFn>(std::move(fn)));
  return value;
}

void UnregisterWindowProc(WNDPROC proc) {
  R().procs.erase(proc);
}

bool IsWindowProcCallable(WNDPROC proc) {
  return R().procs.count(proc) != 0;
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto it = R().procs.find(proc);
  if (it == R().procs.end() || !*it->second) {
    // A hook kept a procedure that is gone (taken down out of order, or never one of ours): the
    // message is lost, which is a fault worth one line, not one per message.
    if (R().deadCalled.insert(proc).second) {
      std::ostringstream line;
      line << "message " << msg << " for window 0x" << std::hex << hwnd
           << " sent through procedure 0x" << proc << ", which no longer exists";
      LogEvent(line.str());
    }
    return 0;
  }
  // Held for the call, so a procedure that unregisters itself finishes safely.
  const std::shared_ptr<WindowProcFn> fn = it->second;
  return (*fn)(hwnd, msg, wParam, lParam);
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr) return 0;
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        SendMessage(hwnd, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_NCHITTEST:
      return HTCLIENT;
    default:
      break;
  }
  LRESULT result = 0;
  if (!rec->messageOnly && !rec->foreign && NativeDefault(*rec, msg, wParam, lParam, result)) {
    return result;
  }
  return 0;
}

// ---- Creation and life ----

HWND CreateWindowEx(const CreateWindowArgs& args) {
  return CreateWindowHosting(args, nullptr);
}

HWND detail::CreateWindowHosting(const CreateWindowArgs& args, GtkWidget* hosted) {
  auto rec = std::make_unique<WindowRecord>();
  rec->title = args.title;
  rec->style = args.style;
  rec->exStyle = args.exStyle;
  rec->messageOnly = args.messageOnly;
  rec->backColor = args.backColor;
  rec->processId = GetCurrentProcessId();
  if (args.parent != 0) {
    WindowRecord* parent = Find(args.parent);
    if (parent == nullptr || parent->foreign) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if ((args.style & WS_CHILD) != 0) {
      rec->parent = args.parent;
    } else {
      rec->owner = args.parent;
    }
  }
  rec->classProc = RegisterWindowProc(args.proc ? args.proc : WindowProcFn(CallDefault));
  rec->proc = rec->classProc;
  WindowRecord* raw = rec.get();
  const HWND h = AddRecord(std::move(rec));
  if (raw->parent != 0) Find(raw->parent)->children.push_back(h);
  if (!raw->messageOnly && !NativeCreate(*raw, args, hosted)) {
    Forget(h);
    return 0;
  }
  SendMessage(h, WM_CREATE, 0, 0);
  if (!IsWindow(h)) return 0;  // destroyed by its own WM_CREATE
  if ((args.style & WS_VISIBLE) != 0 && !raw->messageOnly) ShowWindow(h, SW_SHOW);
  return h;
}

bool DestroyWindow(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr || rec->foreign) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (rec->destroying) return true;
  rec->destroying = true;
  // Owned windows go first, as on the desktop we stand in for.
  for (HWND other : AllWindows()) {
    WindowRecord* o = Find(other);
    if (o != nullptr && o->owner == hwnd && !o->destroying) DestroyWindow(other);
  }
  SendDestroy(hwnd);
  SendNcDestroy(hwnd);
  rec = Find(hwnd);
  if (rec == nullptr) return true;
  if (!rec->messageOnly) NativeDestroy(*rec);
  Forget(hwnd);
  return true;
}

bool IsWindow(HWND hwnd) {
  return Find(hwnd) != nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  WindowRecord* rec = Find(hwnd);
  if (processId != nullptr) *processId = rec != nullptr ? rec->processId : 0;
  return rec != nullptr ? 1 : 0;
}

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(::getpid());
}

HWND WrapForeignWindow(unsigned long nativeId, DWORD processId) {
  for (const auto& [h, rec] : R().windows) {
    if (rec->foreign && rec->foreignId == nativeId) return h;
  }
  auto rec = std::make_unique<WindowRecord>();
  rec->foreign = true;
  rec->foreignId = nativeId;
  rec->processId = processId;
  return AddRecord(std::move(rec));
}

DWORD GetLastError() {
  return t_lastError;
}
void SetLastError(DWORD error) {
  t_lastError = error;
}

// ---- Longs ----

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_WNDPROC:
      return rec->foreign ? 0 : rec->proc;
    case GWL_HWNDPARENT:
      return rec->owner;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(rec->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(rec->exStyle);
    case GWL_USERDATA:
      return rec->userData;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (rec->foreign) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  SetLastError(0);
  switch (index) {
    case GWL_WNDPROC: {
      if (value == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      return std::exchange(rec->proc, value);
    }
    case GWL_HWNDPARENT: {
      const HWND old = rec->owner;
      rec->owner = static_cast<HWND>(value);
      if (!rec->messageOnly) NativeOwnerChanged(*rec);
      return old;
    }
    case GWL_STYLE: {
      const DWORD old = rec->style;
      rec->style = static_cast<DWORD>(value);
      if (!rec->messageOnly) NativeStyleChanged(*rec, old, rec->exStyle);
      return static_cast<LONG_PTR>(old);
    }
    case GWL_EXSTYLE: {
      const DWORD old = rec->exStyle;
      rec->exStyle = static_cast<DWORD>(value);
      if (!rec->messageOnly) NativeStyleChanged(*rec, rec->style, old);
      return static_cast<LONG_PTR>(old);
    }
    case GWL_USERDATA:
      return std::exchange(rec->userData, value);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

// ---- Messages ----

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr || rec->foreign) return 0;
  return CallWindowProc(rec->proc, hwnd, msg, wParam, lParam);
}

namespace {
struct Posted {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
}  // namespace

bool PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowRecord* rec = Find(hwnd);
  if (rec == nullptr || rec->foreign) return false;
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        const Posted* p = static_cast<Posted*>(data);
        Guarded("posted message", [p] { SendMessage(p->hwnd, p->msg, p->wParam, p->lParam); });
        return G_SOURCE_REMOVE;
      },
      new Posted{hwnd, msg, wParam, lParam},
      [](gpointer data) { delete static_cast<Posted*>(data); });
  return true;
}

// ---- Timers ----

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  if (hwnd != 0) {
    WindowRecord* rec = Find(hwnd);
    if (rec == nullptr || rec->foreign) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
  } else {
    if (!proc) return 0;
    id = g_nextThreadTimer++;
  }
  KillTimer(hwnd, id);
  const UINT interval = elapseMs < 10 ? 10 : elapseMs;
  const guint source =
      g_timeout_add_full(G_PRIORITY_DEFAULT, interval, OnTimer, new TimerKey{hwnd, id},
                         [](gpointer d) { delete static_cast<TimerKey*>(d); });
  Timers()[TimerKey{hwnd, id}] = Timer{source, std::move(proc)};
  return hwnd != 0 ? (id != 0 ? id : 1) : id;
}

bool KillTimer(HWND hwnd, UINT_PTR id) {
  auto it = Timers().find(TimerKey{hwnd, id});
  if (it == Timers().end()) return false;
  g_source_remove(it->second.source);
  Timers().erase(it);
  return true;
}

}  // namespace platform
