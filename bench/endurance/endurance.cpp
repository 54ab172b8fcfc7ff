// Endurance of one client process: repeated logins (login page -> main window -> exit question
// answered "否" -> another login) and repeated tab opening and closing in one main window, and
// a game page that allocates and frees 200 MB in a loop. Prints the proportional memory (Pss)
// and anonymous memory of the client and of its web processes before and after.
//   endurance_bench BASE_URL [--logins N] [--tabs N] [--churn-seconds S]

#include <malloc.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "WebViewGtk.h"
#include "app/LoginBgFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "mainwin/MainWindowHost.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/WebMainFrm.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/uTab.h"

using namespace platform;

namespace {

struct Memory {
  long pssKb = 0;
  long anonKb = 0;
};

Memory Read(pid_t pid) {
  Memory m;
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(in, line)) {
    long* field = line.rfind("Pss:", 0) == 0         ? &m.pssKb
                  : line.rfind("Anonymous:", 0) == 0 ? &m.anonKb
                                                     : nullptr;
    if (field != nullptr) *field += std::atol(line.c_str() + line.find(':') + 1);
  }
  return m;
}

bool Descends(pid_t pid) {
  for (pid_t p = pid; p > 1;) {
    std::ifstream stat("/proc/" + std::to_string(p) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos) return false;
    int parent = 0;
    std::sscanf(line.c_str() + close + 2, "%*c %d", &parent);
    if (parent == getpid()) return true;
    p = parent;
  }
  return false;
}

// The client's own memory and that of every web engine process it started.
struct Figures {
  Memory client;
  Memory engine;
  int processes = 0;
};

// Anonymous memory is the figure that shows a leak: Pss also shares out the libraries and fonts
// every process on the machine maps, and moves with whatever else runs there.
Figures Measure() {
  // What the allocator holds free but unreturned is no growth of ours.
  malloc_trim(0);
  Figures f;
  f.client = Read(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream comm(entry.path() / "comm");
    std::string command;
    std::getline(comm, command);
    if (command.rfind("WebKit", 0) != 0 || !Descends(std::stoi(name))) continue;
    const Memory m = Read(std::stoi(name));
    f.engine.pssKb += m.pssKb;
    f.engine.anonKb += m.anonKb;
    ++f.processes;
  }
  return f;
}

bool Until(const std::function<bool()>& done, int ms = 20000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(2000);
  }
  return true;
}

void Pump(int ms) {
  Until([] { return false; }, ms);
}

void Script(WebBrowser& browser, const std::string& script) {
  webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(WebBrowserEngineWidget(browser)),
                                      script.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "endurance: %s\n", what);
  std::fflush(nullptr);
  _exit(1);
}

void Print(const char* label, const Figures& f) {
  std::printf(
      "%-34s client Pss %7.1f MiB anon %7.1f MiB | web %d processes Pss %7.1f MiB anon %7.1f MiB\n",
      label, f.client.pssKb / 1024.0, f.client.anonKb / 1024.0, f.processes,
      f.engine.pssKb / 1024.0, f.engine.anonKb / 1024.0);
  std::fflush(stdout);
}

void Growth(const char* what, const Figures& a, const Figures& b) {
  auto pct = [](long x, long y) { return x > 0 ? 100.0 * (y - x) / x : 0.0; };
  std::printf("%s growth: client Pss %+.1f%% anon %+.1f%%, web Pss %+.1f%% anon %+.1f%%\n", what,
              pct(a.client.pssKb, b.client.pssKb), pct(a.client.anonKb, b.client.anonKb),
              pct(a.engine.pssKb, b.engine.pssKb), pct(a.engine.anonKb, b.engine.anonKb));
  std::fflush(stdout);
}

bool LoginVisible() {
  return FormSlot<LoginFrm>::IsLoaded() && IsWindowVisible(FormSlot<LoginFrm>::Get().hWnd()) &&
         FormSlot<LoginBgFrm>::IsLoaded() && IsWindowVisible(FormSlot<LoginBgFrm>::Get().hWnd());
}

// One login: the page's login button, the main window, the exit question answered "否", and
// another login from the main window.
void LoginCycle() {
  if (!Until(LoginVisible)) Fail("the login screen did not show");
  Pump(200);  // the page's scripts are in place
  Script(FormSlot<LoginFrm>::Get().WebBrowser1(), "document.querySelector('form').submit()");
  if (!Until([] {
        return !FormSlot<LoginBgFrm>::IsLoaded() && FormSlot<WebMainFrm>::IsLoaded() &&
               IsWindowVisible(FormSlot<WebMainFrm>::Get().hWnd());
      })) {
    Fail("no main window after the login");
  }
  // The question is modal: it is answered from a timer inside its own loop.
  static bool answered = false;
  answered = false;
  g_timeout_add(
      50,
      [](gpointer) -> gboolean {
        if (!FormSlot<MsgFrm>::IsLoaded() || !IsWindowVisible(FormSlot<MsgFrm>::Get().hWnd())) {
          return G_SOURCE_CONTINUE;
        }
        FormSlot<MsgFrm>::Get().iButton2().Click();
        answered = true;
        return G_SOURCE_REMOVE;
      },
      nullptr);
  const int asked = FormSlot<WebMainFrm>::Get().ExitQuestions();
  PostMessage(FormSlot<WebMainFrm>::Get().hWnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  if (!Until([asked] {
        return answered && FormSlot<WebMainFrm>::Get().ExitQuestions() > asked &&
               !FormSlot<MsgFrm>::IsLoaded();
      })) {
    Fail("the exit question was not asked and answered");
  }
  if (!FormSlot<WebMainFrm>::IsLoaded()) Fail("the main window went after 否");
  TheMainWindowHost().showLogin();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: endurance_bench BASE_URL [--logins N] [--tabs N] [--churn-seconds S]\n");
    return 2;
  }
  int logins = 100, tabs = 1000, churn = 60;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    const int v = std::atoi(argv[i + 1]);
    if (a == "--logins")
      logins = v;
    else if (a == "--tabs")
      tabs = v;
    else if (a == "--churn-seconds")
      churn = v;
  }
  ::setenv(kBaseUrlVariable, argv[1], 1);
  if (!InitToolkit(argc, argv)) Fail("no display");
  WebEngineOptions web;
  web.name = GameId;
  InitWebEngine(web);
  FormRuntime::SetLastFormUnloadedHandler([] {});
  // Another login, as the client's main() sets it up.
  TheMainWindowHost().showLogin = [] {
    const bool shown = FormSlot<LoginFrm>::IsLoaded();
    LoginFrm& login = FormSlot<LoginFrm>::Get();
    if (shown) {
      ShowWindow(FormSlot<LoginBgFrm>::Get().hWnd(), SW_SHOW);
      ShowWindow(login.hWnd(), SW_SHOW);
    }
  };
  const std::string base = argv[1];

  // ---- Logins ----
  FormSlot<LoginFrm>::Get();
  LoginCycle();
  Pump(1500);
  const Figures loginStart = Measure();
  Print("after login 1", loginStart);
  for (int i = 2; i <= logins; ++i) {
    LoginCycle();
    if (i % 25 == 0) {
      Pump(1500);
      Print(("after login " + std::to_string(i)).c_str(), Measure());
    }
  }
  Pump(1500);
  const Figures loginEnd = Measure();
  Growth(("logins 1 -> " + std::to_string(logins)).c_str(), loginStart, loginEnd);
  // Leave the last login screen for the main window.
  if (!Until(LoginVisible)) Fail("the login screen did not show");
  FormSlot<LoginBgFrm>::Unload();

  // ---- Tabs ----
  WebMainFrm& main = FormSlot<WebMainFrm>::Get();
  CTabItems& items = main.WebuTab().TabItems();
  const std::string game = base + "/games/talmar2/play/1";
  auto cycle = [&](int n) {
    const int before = items.Count();
    main.SetURL(game + "?tab=" + std::to_string(n));
    if (!Until([&] { return items.Count() == before + 1; })) Fail("no tab opened");
    Pump(120);  // the page starts loading
    items.Remove(Variant(before), true);
    if (!Until([&] { return items.Count() == before; })) Fail("the tab did not close");
  };
  for (int i = 0; i < 10; ++i) cycle(i);
  Pump(2000);
  const Figures tabStart = Measure();
  Print("after 10 tab cycles", tabStart);
  for (int i = 10; i < tabs; ++i) {
    cycle(i);
    if ((i + 1) % 250 == 0) {
      Pump(2000);
      Print(("after " + std::to_string(i + 1) + " tab cycles").c_str(), Measure());
    }
  }
  Pump(2000);
  const Figures tabEnd = Measure();
  Growth(("tabs 10 -> " + std::to_string(tabs)).c_str(), tabStart, tabEnd);

  // ---- A page that allocates and frees 200 MB in a loop ----
  main.SetURL(base + "/games/talmar2/churn");
  Pump(churn * 1000);
  const Figures churned = Measure();
  Print("after the 200 MB page", churned);
  std::printf("client alive, %d tabs\n", items.Count());
  std::fflush(nullptr);
  _exit(0);
}
