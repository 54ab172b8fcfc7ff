// The main window's keys pressed for real (xdotool) while a game page has the keyboard focus:
// the window's chords reach the window before the page, every other key reaches the page, and
// nothing is taken while the exit question is up.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "WindowTestSupport.h"
#include "common/Settings.h"
#include "mainwin/MainKeys.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/WebMainFrm.h"
#include "platform/desktop/MessageBox.h"
#include "platform/window/Form.h"

using namespace platform;
using namespace wintest;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

// Every key the page hears is reported to the server as /key?k=<key>&c=<ctrl>.
std::string GamePage(int n) {
  return "<!DOCTYPE html><html><head><title>区 " + std::to_string(n) +
         "</title></head><body style='margin:0;height:100vh'>game<script>"
         "addEventListener('keydown', e => fetch('/key?k=' + e.key + '&c=' + e.ctrlKey));"
         "</script></body></html>";
}

class MainWindowKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    PointerAway();
    ::setenv(kBaseUrlVariable, server.BaseUrl().c_str(), 1);
    for (int n = 1; n <= 3; ++n) {
      server.Route("/play/" + std::to_string(n), [n](const testsupport::Request&,
                                                     testsupport::Connection& c) {
        c.SendResponse(
            200, {{"Content-Type", "text/html; charset=utf-8"}, {"Cache-Control", "no-store"}},
            GamePage(n));
      });
    }
    server.Route("/key", [](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(204, {}, "");
    });
    SetMessageBoxResponder([](const MessageBoxRequest&) { return IDNO; });
    FormRuntime::SetLastFormUnloadedHandler([] {});
  }
  void TearDown() override {
    if (FormSlot<WebMainFrm>::IsLoaded()) {
      FormSlot<WebMainFrm>::Get().m_bExit = true;
      FormSlot<WebMainFrm>::Unload();
    }
    DoEvents();
    SetMessageBoxResponder({});
    ::unsetenv(kBaseUrlVariable);
  }

  int Requests(const std::string& target) const {
    int n = 0;
    for (const auto& r : server.Requests()) n += r.target == target;
    return n;
  }

  // Runs `act` once the exit question is on the screen, from inside its modal loop.
  static void WhenAsked(std::function<void()> act) {
    static std::function<void()> pending;
    static UINT_PTR timer = 0;
    pending = std::move(act);
    timer = SetTimer(0, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
      if (!FormSlot<MsgFrm>::IsLoaded() || !IsWindowVisible(FormSlot<MsgFrm>::Get().hWnd())) return;
      KillTimer(0, timer);
      Settle(300);
      auto run = std::move(pending);
      run();
    });
  }
  static void ClickOn(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    Xdotool("mousemove " + std::to_string(r.left + r.Width() / 2) + " " +
            std::to_string(r.top + r.Height() / 2));
    Settle(100);
    Xdotool("click 1");
  }

  testsupport::LoopbackServer server;
};

TEST(MainKeyTable, OnlyChordsAndFunctionKeysAreTheWindows) {
  struct Row {
    WPARAM vk;
    LPARAM flags;
    MainKeyCommand expected;
  };
  const Row rows[] = {
      {VK_F5, 0, {MainKey::Refresh}},
      {'R', KP_CONTROL, {MainKey::Refresh}},
      {VK_TAB, KP_CONTROL, {MainKey::NextTab}},
      {VK_TAB, KP_CONTROL | KP_SHIFT, {MainKey::PreviousTab}},
      {'1', KP_CONTROL, {MainKey::TabAt, 1}},
      {'9', KP_CONTROL, {MainKey::TabAt, 9}},
      {'W', KP_CONTROL, {MainKey::CloseTab}},
      {VK_F11, 0, {MainKey::FullScreen}},
      {VK_OEM_PLUS, KP_CONTROL | KP_SHIFT, {MainKey::ZoomIn}},
      {VK_ADD, KP_CONTROL, {MainKey::ZoomIn}},
      {VK_OEM_MINUS, KP_CONTROL, {MainKey::ZoomOut}},
      {'0', KP_CONTROL, {MainKey::ZoomReset}},
      {'S', KP_CONTROL | KP_SHIFT, {MainKey::Screenshot}},
      // The game's keys: letters, arrows, Tab, Escape, digits, also with Shift.
      {'R', 0, {}},
      {'W', KP_SHIFT, {}},
      {VK_TAB, 0, {}},
      {VK_LEFT, 0, {}},
      {VK_ESCAPE, 0, {}},
      {'1', 0, {}},
      {'S', KP_CONTROL, {}},
      // Other chords stay the page's or the desktop's.
      {'R', KP_CONTROL | KP_ALT, {}},
      {'1', KP_CONTROL | KP_SHIFT, {}},
      {VK_F5, KP_CONTROL, {}},
      {VK_F11, KP_ALT, {}},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.expected, MainKeyFor(r.vk, r.flags)) << "vk " << r.vk << " flags " << r.flags;
  }
}

TEST_F(MainWindowKeys, ChordsReachTheWindowThroughAFocusedPageAndOtherKeysThePage) {
  WebMainFrm& m = FormSlot<WebMainFrm>::Get();
  for (int n = 1; n <= 3; ++n) m.SetURL(server.Url("/play/" + std::to_string(n)));
  m.Show();
  CTabItems& items = m.WebuTab().TabItems();
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(m.hWnd()) && items.Count() == 3; }));
  ASSERT_TRUE(WaitFor([&] { return server.Requests().size() >= 3; }, 15000));
  Settle(500);
  // The selected (last) page takes the keyboard focus with a click.
  ClickOn(m.pCnt());
  Settle(300);
  ASSERT_EQ(2, items.Selected());
  Xdotool("key a Left");
  ASSERT_TRUE(WaitFor([&] { return Requests("/key?k=a&c=false") == 1; }));
  EXPECT_TRUE(WaitFor([&] { return Requests("/key?k=ArrowLeft&c=false") == 1; }));

  struct Step {
    const char* keys;
    int selected;
  };
  const Step steps[] = {{"ctrl+Tab", 0},       {"ctrl+Tab", 1}, {"ctrl+shift+Tab", 0},
                        {"ctrl+shift+Tab", 2}, {"ctrl+1", 0},   {"ctrl+9", 2},
                        {"ctrl+2", 1},         {"ctrl+8", 1}};
  for (const Step& s : steps) {
    Xdotool(std::string("key ") + s.keys);
    EXPECT_TRUE(WaitFor([&] { return items.Selected() == s.selected; })) << s.keys;
  }
  // F5 and Ctrl+R load the selected page again.
  const std::string second = "/play/2";
  auto loads = [&] {
    int n = 0;
    for (const auto& q : server.Requests()) n += q.path == second;
    return n;
  };
  const int before = loads();
  Xdotool("key F5");
  EXPECT_TRUE(WaitFor([&] { return loads() == before + 1; }));
  Xdotool("key ctrl+r");
  EXPECT_TRUE(WaitFor([&] { return loads() == before + 2; }));
  // Ctrl+W closes the selected tab; the page never heard a chord of the window.
  Xdotool("key ctrl+w");
  EXPECT_TRUE(WaitFor([&] { return items.Count() == 2; }));
  Settle(300);
  for (const auto& q : server.Requests()) {
    const bool modifier = q.target.find("k=Control") != std::string::npos ||
                          q.target.find("k=Shift") != std::string::npos;
    if (!modifier) EXPECT_EQ(std::string::npos, q.target.find("c=true")) << q.target;
  }

  // While the exit question is up, the keys are not the window's; on the last tab Ctrl+W asks
  // that question, as the tab's close box does.
  int countSeen = 0, selectedSeen = -1;
  const int selected = items.Selected();
  WhenAsked([&] {
    Xdotool("key ctrl+Tab ctrl+w F5");
    Settle(500);
    countSeen = items.Count();
    selectedSeen = items.Selected();
    ClickOn(FormSlot<MsgFrm>::Get().iButton2().hWnd());
  });
  ClickOn(m.web_close().hWnd());
  ASSERT_TRUE(WaitFor([&] { return m.ExitQuestions() == 1 && !FormSlot<MsgFrm>::IsLoaded(); }));
  EXPECT_EQ(2, countSeen);
  EXPECT_EQ(selected, selectedSeen);
  Xdotool("key ctrl+w");
  ASSERT_TRUE(WaitFor([&] { return items.Count() == 1; }));
  WhenAsked([] { ClickOn(FormSlot<MsgFrm>::Get().iButton2().hWnd()); });
  Xdotool("key ctrl+w");
  ASSERT_TRUE(WaitFor([&] { return m.ExitQuestions() == 2 && !FormSlot<MsgFrm>::IsLoaded(); }));
  EXPECT_EQ(1, items.Count());
  EXPECT_TRUE(IsWindowVisible(m.hWnd()));
}

}  // namespace
