// The hook chain with its three kinds of users on one window (the generic subclassing class, the
// form hook and a module-level hook), taken out in every order, from outside any message and
// from inside one: the hooks that stay keep seeing every message, newest first, and the window
// gets its own procedure back when the last one is gone.

#include "platform/window/WindowSubclass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "controls/CSubclass.h"
#include "mainwin/cFormSubclass.h"
#include "platform/system/EventLog.h"
#include "platform/window/Window.h"

namespace {

using controls::CSubclass;
using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WM_USER;
using platform::WPARAM;

using Seq = std::vector<std::string>;

constexpr UINT kRemoveNow = WM_USER + 1;  // the window's own procedure takes hooks out on this
constexpr platform::UINT_PTR kModuleHook = 1000;

std::string Join(const Seq& s) {
  std::ostringstream out;
  for (const std::string& line : s) out << line << " | ";
  return out.str();
}

struct ChainCase {
  std::string order;  // removal order of the hooks 'C', 'F' and 'M' (installed C, F, M)
  bool fromInside;    // removed while a message is inside every hook
};

class ChainTest : public ::testing::TestWithParam<ChainCase> {
 protected:
  void SetUp() override {
    previousSink_ =
        platform::SetEventLogSink([this](std::string_view line) { log.emplace_back(line); });
    platform::CreateWindowArgs args;
    args.messageOnly = true;
    args.proc = [this](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
      seen.push_back("orig");
      if (m == kRemoveNow && onRemoveNow) onRemoveNow();
      return 7;
    };
    hwnd = platform::CreateWindowEx(args);
    ASSERT_NE(hwnd, 0u);
    origProc = platform::GetWindowLongPtr(hwnd, platform::GWL_WNDPROC);
  }
  void TearDown() override {
    sub.reset();
    form.reset();
    platform::SetEventLogSink(previousSink_);
  }

  void Install() {
    sub = std::make_unique<CSubclass>();
    sub->WindowProc = [this](bool bBefore, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM, LPARAM&) {
      if (bBefore) seen.push_back("C");
    };
    ASSERT_TRUE(sub->ssc_Subclass(hwnd));
    sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE);

    form = std::make_unique<cFormSubclass>();
    form->MsgCome = [this](bool, bool&, LRESULT&, HWND&, UINT&, WPARAM&, LPARAM&) {
      seen.push_back("F");
    };
    form->AddWindowMsgs(hwnd);

    ASSERT_TRUE(platform::SetWindowSubclass(
        hwnd,
        [this](HWND h, UINT m, WPARAM w, LPARAM l, platform::UINT_PTR, platform::DWORD_PTR) {
          seen.push_back("M");
          return platform::DefSubclassProc(h, m, w, l);
        },
        kModuleHook, 0));
  }

  void Remove(char which) {
    switch (which) {
      case 'C':
        sub->ssc_UnSubclass(hwnd);
        break;
      case 'F':
        form.reset();
        break;
      case 'M':
        platform::RemoveWindowSubclass(hwnd, kModuleHook);
        break;
      default:
        break;
    }
  }

  Seq Send(UINT m) {
    seen.clear();
    EXPECT_EQ(platform::SendMessage(hwnd, m, 0, 0), 7);
    return seen;
  }

  HWND hwnd = 0;
  platform::WNDPROC origProc = 0;
  std::unique_ptr<CSubclass> sub;
  std::unique_ptr<cFormSubclass> form;
  std::function<void()> onRemoveNow;
  Seq seen;
  Seq log;

 private:
  platform::EventLogSink previousSink_;
};

TEST_P(ChainTest, RemainingHooksKeepWorking) {
  const ChainCase& c = GetParam();
  Install();
  EXPECT_EQ(Send(WM_USER), (Seq{"M", "F", "C", "orig"}));

  std::string left = "CFM";
  for (const char which : c.order) {
    if (c.fromInside) {
      onRemoveNow = [&] { Remove(which); };
      // Every hook was passed on the way in; nothing of the message changes on the way out.
      Send(kRemoveNow);
      onRemoveNow = nullptr;
    } else {
      Remove(which);
    }
    left.erase(left.find(which), 1);
    Seq expected;
    for (auto it = left.rbegin(); it != left.rend(); ++it) expected.emplace_back(1, *it);
    expected.push_back("orig");
    EXPECT_EQ(Send(WM_USER), expected) << "after taking out " << which << ": " << Join(seen);
  }
  Send(WM_USER);  // a released CSubclass hook leaves the chain as a message leaves it
  EXPECT_EQ(platform::GetWindowLongPtr(hwnd, platform::GWL_WNDPROC), origProc);
  EXPECT_TRUE(log.empty()) << Join(log);
}

std::vector<ChainCase> AllOrders() {
  std::vector<ChainCase> cases;
  std::string order = "CFM";
  do {
    cases.push_back({order, false});
    cases.push_back({order, true});
  } while (std::next_permutation(order.begin(), order.end()));
  return cases;
}

INSTANTIATE_TEST_SUITE_P(WindowSubclass, ChainTest, ::testing::ValuesIn(AllOrders()),
                         [](const auto& info) {
                           return info.param.order + (info.param.fromInside ? "_inside" : "");
                         });

// A hook taken out by the hook above it while that one handles the message: the message skips
// it, the hook below still gets it, and a nested send from the top hook sees the same chain.
TEST_F(ChainTest, HookRemovedByTheOneAboveDuringDispatch) {
  Install();
  ASSERT_TRUE(platform::SetWindowSubclass(
      hwnd,
      [this](HWND h, UINT m, WPARAM w, LPARAM l, platform::UINT_PTR, platform::DWORD_PTR) {
        seen.push_back("T");
        if (m == WM_USER) {
          platform::RemoveWindowSubclass(h, kModuleHook);
          platform::SendMessage(h, WM_USER + 2, 0, 0);
        }
        return platform::DefSubclassProc(h, m, w, l);
      },
      2000, 0));
  EXPECT_EQ(Send(WM_USER), (Seq{"T", "T", "F", "C", "orig", "F", "C", "orig"}));
  EXPECT_FALSE(platform::GetWindowSubclass(hwnd, kModuleHook, nullptr));
  EXPECT_TRUE(platform::RemoveWindowSubclass(hwnd, 2000));
  EXPECT_EQ(Send(WM_USER), (Seq{"F", "C", "orig"}));
  EXPECT_TRUE(log.empty()) << Join(log);
}

}  // namespace
