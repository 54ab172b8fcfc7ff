#include "platform/window/Form.h"

#include <glib.h>

#include <algorithm>
#include <ranges>
#include <utility>
#include <vector>

#include "platform/system/EventLog.h"
#include "platform/system/detail/Guarded.h"
#include "platform/window/MessageLoop.h"

namespace platform {

namespace {

int g_loaded = 0;
std::function<void()>& LastFormHandler() {
  static std::function<void()> handler;
  return handler;
}
// The loaded forms, in the order they were loaded.
std::vector<Form*>& Loaded() {
  static std::vector<Form*> loaded;
  return loaded;
}
void Forget(Form* form) {
  std::erase(Loaded(), form);
}

std::vector<std::unique_ptr<Form>>& Graveyard() {
  static std::vector<std::unique_ptr<Form>> graveyard;
  return graveyard;
}

// Gives the input back to the owner a modal form disabled (once).
void ReleaseModalOwner(HWND& owner) {
  const HWND h = std::exchange(owner, 0);
  if (h != 0 && IsWindow(h)) EnableWindow(h, true);
}

}  // namespace

Form::~Form() {
  *m_alive = false;
  Forget(this);
  ReleaseModalOwner(*m_modalOwner);
  if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
}

void Form::Show() {
  if (m_hwnd == 0) return;
  ShowWindow(m_hwnd, SW_SHOW);
}

void Form::ShowModal(HWND owner) {
  if (m_hwnd == 0) return;
  if (owner != 0) SetWindowLongPtr(m_hwnd, GWL_HWNDPARENT, static_cast<LONG_PTR>(owner));
  // The owner takes no input while the form is up. It gets it back as the form is hidden or
  // its window goes, whichever way (the form's procedure sees both), before the window manager
  // activates another window; an owner that was disabled already stays so.
  const std::shared_ptr<HWND> modalOwner = m_modalOwner;
  if (owner != 0 && *modalOwner == 0 && IsWindowEnabled(owner)) {
    *modalOwner = owner;
    EnableWindow(owner, false);
  }
  Show();
  // A modal form has the keys from the start, as a dialog has.
  SetForegroundWindow(m_hwnd);
  // A nested loop that ends when the form is hidden or goes away; the flags outlive the form.
  const std::shared_ptr<bool> alive = m_alive;
  const HWND hwnd = m_hwnd;
  GMainContext* context = g_main_context_default();
  const ModalLoopScope modal([hwnd] { SetForegroundWindow(hwnd); });
  while (*alive && IsWindow(hwnd) && IsWindowVisible(hwnd)) {
    g_main_context_iteration(context, TRUE);
  }
  if (*modalOwner == owner) ReleaseModalOwner(*modalOwner);
}

void Form::Hide() {
  if (m_hwnd != 0) ShowWindow(m_hwnd, SW_HIDE);
}

LRESULT Form::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    RequestUnload(kUnloadByUser);
    return 0;
  }
  return DefWindowProc(m_hwnd, msg, wParam, lParam);
}

bool Form::RequestUnload(int unloadMode) {
  return m_unload ? m_unload(unloadMode) : false;
}

bool FormRuntime::Load(Form& form, std::function<bool(int)> unload) {
  form.m_unload = std::move(unload);
  CreateWindowArgs args = form.Design();
  Form* self = &form;
  const std::shared_ptr<bool> alive = form.m_alive;
  args.proc = [self, alive](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (!*alive) return DefWindowProc(hwnd, msg, wParam, lParam);
    if (self->m_hwnd == 0) self->m_hwnd = hwnd;  // messages sent during creation
    if (msg == WM_DESTROY || (msg == WM_SHOWWINDOW && wParam == 0)) {
      ReleaseModalOwner(*self->m_modalOwner);
    }
    return self->FormProc(msg, wParam, lParam);
  };
  args.style &= ~static_cast<DWORD>(WS_VISIBLE);  // the load step runs before it shows
  form.m_hwnd = CreateWindowEx(args);
  ++g_loaded;
  Loaded().push_back(&form);
  try {
    form.Form_Load();
  } catch (const std::exception& e) {
    LogEvent(std::string("form load step failed: ") + e.what());
  }
  return form.m_hwnd != 0;
}

bool FormRuntime::RunUnload(Form& form, int unloadMode) {
  if (form.m_unloading) return false;
  form.m_unloading = true;
  bool cancel = false;
  form.Form_QueryUnload(cancel, unloadMode);
  if (!cancel) form.Form_Unload(cancel);
  if (cancel) {
    form.m_unloading = false;
    return false;
  }
  if (IsWindow(form.m_hwnd)) DestroyWindow(form.m_hwnd);
  form.m_hwnd = 0;
  --g_loaded;
  Forget(&form);
  if (g_loaded == 0) {
    // The program ends when no form is loaded once the code that is running now has finished:
    // a handler that unloads one form and then loads another keeps it going.
    g_idle_add(
        [](gpointer) -> gboolean {
          Guarded("last form unloaded", [] {
            if (g_loaded != 0) return;
            if (LastFormHandler()) {
              LastFormHandler()();
            } else {
              QuitMessageLoop();
            }
          });
          return G_SOURCE_REMOVE;
        },
        nullptr);
  }
  return true;
}

void FormRuntime::DeleteLater(std::unique_ptr<Form> form) {
  if (!form) return;
  Graveyard().push_back(std::move(form));
  if (Graveyard().size() == 1) {
    g_idle_add(
        [](gpointer) -> gboolean {
          auto dead = std::move(Graveyard());
          Graveyard().clear();
          // One form's destructor that throws does not keep the others alive.
          for (std::unique_ptr<Form>& form : dead) Guarded("form end", [&form] { form.reset(); });
          return G_SOURCE_REMOVE;
        },
        nullptr);
  }
}

int FormRuntime::LoadedCount() {
  return g_loaded;
}

bool FormRuntime::UnloadAll(int unloadMode) {
  // Each unload may unload others (a window that takes its companion along) or load one: the
  // forms loaded now are asked once each, newest first, if they are still there.
  const std::vector<Form*> forms = Loaded();
  bool all = true;
  for (Form* form : std::ranges::reverse_view(forms)) {
    if (std::find(Loaded().begin(), Loaded().end(), form) == Loaded().end()) continue;
    if (!form->RequestUnload(unloadMode)) all = false;
  }
  return all;
}

void FormRuntime::SetLastFormUnloadedHandler(std::function<void()> handler) {
  LastFormHandler() = std::move(handler);
}

}  // namespace platform
