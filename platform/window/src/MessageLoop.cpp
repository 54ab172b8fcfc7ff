#include "platform/window/MessageLoop.h"

#include <gtk/gtk.h>

#include <unistd.h>
#include <cstdio>
#include <utility>
#include <vector>

namespace platform {

namespace {
GMainLoop* g_loop = nullptr;
std::vector<std::function<void()>>& ModalLoops() {
  static std::vector<std::function<void()>> loops;
  return loops;
}
std::function<void(bool)>& ModalListener() {
  static std::function<void(bool)> listener;
  return listener;
}
// Tells the listener through a copy: it may replace itself.
void TellModalListener(bool modal) {
  if (const auto listener = ModalListener()) listener(modal);
}
}  // namespace

bool InitToolkit(int& argc, char**& argv) {
  // The window layer speaks X11 (shapes, key grabs, the server's window tree); on a Wayland
  // session the client runs through XWayland.
  gdk_set_allowed_backends("x11");
  return gtk_init_check(&argc, &argv) != FALSE;
}

void DoEvents() {
  // A source that is always ready (an idle handler that re-arms itself) must not keep us here:
  // Windows processes what is queued now, not what keeps arriving.
  constexpr int kMaxDispatches = 1000;
  GMainContext* context = g_main_context_default();
  for (int i = 0; i < kMaxDispatches && g_main_context_pending(context); ++i) {
    g_main_context_iteration(context, FALSE);
  }
}

void RunMessageLoop() {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  GMainLoop* outer = g_loop;
  g_loop = loop;
  g_main_loop_run(loop);
  g_loop = outer;
  g_main_loop_unref(loop);
}

void QuitMessageLoop() {
  if (g_loop != nullptr) g_main_loop_quit(g_loop);
}

ModalLoopScope::ModalLoopScope(std::function<void()> present) {
  ModalLoops().push_back(std::move(present));
  if (ModalLoops().size() == 1) TellModalListener(true);
}

ModalLoopScope::~ModalLoopScope() {
  ModalLoops().pop_back();
  if (ModalLoops().empty()) TellModalListener(false);
}

void SetModalLoopListener(std::function<void(bool modal)> listener) {
  ModalListener() = std::move(listener);
}

bool InModalLoop() {
  return !ModalLoops().empty();
}

bool PresentModalWindow() {
  if (ModalLoops().empty()) return false;
  // A copy: presenting may run a nested loop that ends the scope.
  const std::function<void()> present = ModalLoops().back();
  if (present) present();
  return true;
}

void EndProcessNow(int exitCode) {
  std::fflush(nullptr);
  _exit(exitCode);
}

}  // namespace platform
