// cFormSubclass on message-only windows: what MsgCome and the window's own procedure see, as
// recorded sequences, and how hooks come off when the instance ends (also during a dispatch).

#include "mainwin/cFormSubclass.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MessageSequence.h"
#include "platform/window/Window.h"

namespace {

using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WM_DESTROY;
using platform::WM_NCDESTROY;
using platform::WM_SIZE;
using platform::WM_USER;
using platform::WPARAM;

using testsupport::ExpectSequence;
using testsupport::Seq;
constexpr auto Name = testsupport::MessageName;

constexpr LRESULT kOrigResult = 7;  // what the window's own procedure returns for WM_USER
constexpr UINT kU1 = WM_USER + 1;

// Opens the internal table operations to the tests.
class FormSubclass : public cFormSubclass {
 public:
  using cFormSubclass::AddMsg;
  using cFormSubclass::Attach;
  using cFormSubclass::DelMsg;
  using cFormSubclass::MSG_AFTER;
  using cFormSubclass::MSG_BEFORE;
  using cFormSubclass::MsgTable;
  using cFormSubclass::Table;
};

using Handler = std::function<void(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND& h, UINT& m,
                                   WPARAM& w, LPARAM& l)>;

class FormSubclassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CreateWindowArgs args;
    args.messageOnly = true;
    args.proc = [this](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      std::string line = "orig " + Name(m);
      if (w != 0 || l != 0) line += " w=" + std::to_string(w) + " l=" + std::to_string(l);
      seen.push_back(line);
      if (onOrig) onOrig(m);
      return m == WM_USER ? kOrigResult : 0;
    };
    hwnd = platform::CreateWindowEx(args);
    ASSERT_NE(hwnd, 0u);
    seen.clear();  // WM_CREATE
    origProc = Installed();
  }

  // An instance whose MsgCome records "<tag>before|after <msg>" and then runs `extra`.
  std::unique_ptr<FormSubclass> Make(std::string tag, Handler extra = {}) {
    auto form = std::make_unique<FormSubclass>();
    form->MsgCome = [this, tag, extra](bool bBefore, bool& bHandled, LRESULT& lReturn, HWND& h,
                                       UINT& m, WPARAM& w, LPARAM& l) {
      std::string line = tag + (bBefore ? "before " : "after ") + Name(m);
      if (!bBefore) line += " r=" + std::to_string(lReturn);
      if (w != 0) line += " w=" + std::to_string(w);
      seen.push_back(line);
      if (extra) extra(bBefore, bHandled, lReturn, h, m, w, l);
    };
    return form;
  }

  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return platform::SendMessage(hwnd, m, w, l); }
  Seq Take() { return std::exchange(seen, {}); }
  platform::WNDPROC Installed() const {
    return platform::GetWindowLongPtr(hwnd, platform::GWL_WNDPROC);
  }

  HWND hwnd = 0;
  platform::WNDPROC origProc = 0;
  Seq seen;
  std::function<void(UINT)> onOrig;
};

// ---- Dispatch --------------------------------------------------------------------------------

struct DispatchCase {
  const char* name;
  // Hooks the window; false: AddWindowMsgs, true: a record whose after table holds WM_USER and
  // whose before table holds every message.
  bool withAfter;
  Handler handler;
  UINT send;
  Seq expected;
  LRESULT result;
};

void PrintTo(const DispatchCase& c, std::ostream* os) {
  *os << c.name;
}

class DispatchTest : public FormSubclassTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(DispatchTest, Sequence) {
  const DispatchCase& c = GetParam();
  auto form = Make("", c.handler);
  if (c.withAfter) {
    form->Attach(hwnd);
    form->AddMsg(hwnd, cFormSubclass::ALL_MESSAGES, FormSubclass::MSG_BEFORE);
    form->AddMsg(hwnd, WM_USER, FormSubclass::MSG_AFTER);
  } else {
    EXPECT_TRUE(form->AddWindowMsgs(hwnd));
  }
  EXPECT_EQ(Send(c.send), c.result);
  ExpectSequence(c.expected, Take());
}

INSTANTIATE_TEST_SUITE_P(
    FormSubclass, DispatchTest,
    ::testing::Values(
        DispatchCase{"every_message_before_window",
                     false,
                     {},
                     WM_SIZE,
                     {"before WM_SIZE", "orig WM_SIZE"},
                     0},
        DispatchCase{
            "handled_skips_window_and_after",
            true,
            [](bool bBefore, bool& bHandled, LRESULT& lReturn, HWND&, UINT&, WPARAM&, LPARAM&) {
              if (!bBefore) return;
              bHandled = true;
              lReturn = 5;
            },
            WM_USER,
            {"before WM_USER"},
            5},
        DispatchCase{"changed_wparam_and_lparam_reach_window",
                     false,
                     [](bool, bool&, LRESULT&, HWND&, UINT&, WPARAM& w, LPARAM& l) {
                       w = 99;
                       l = 3;
                     },
                     WM_USER,
                     {"before WM_USER", "orig WM_USER w=99 l=3"},
                     kOrigResult},
        DispatchCase{"changed_message_reaches_window_and_picks_after_table",
                     true,
                     [](bool bBefore, bool&, LRESULT&, HWND&, UINT& m, WPARAM&, LPARAM&) {
                       if (bBefore) m = WM_USER;
                     },
                     kU1,
                     {"before WM_USER+1", "orig WM_USER", "after WM_USER r=7"},
                     kOrigResult},
        DispatchCase{"after_sees_and_replaces_result",
                     true,
                     [](bool bBefore, bool&, LRESULT& lReturn, HWND&, UINT&, WPARAM&, LPARAM&) {
                       if (!bBefore) lReturn = 42;
                     },
                     WM_USER,
                     {"before WM_USER", "orig WM_USER", "after WM_USER r=7"},
                     42}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormSubclassTest, SameWindowTwiceNewestRecordFirst) {
  auto older = Make("A ");
  auto newer = Make("B ");
  older->AddWindowMsgs(hwnd);
  newer->AddWindowMsgs(hwnd);
  Send(WM_USER);
  ExpectSequence({"B before WM_USER", "A before WM_USER", "orig WM_USER"}, Take());
}

TEST_F(FormSubclassTest, SameInstanceTwiceMakesTwoHooks) {
  auto form = Make("", [](bool, bool&, LRESULT&, HWND&, UINT&, WPARAM& w, LPARAM&) { ++w; });
  form->AddWindowMsgs(hwnd);
  const platform::WNDPROC hook = Installed();
  form->AddWindowMsgs(hwnd);
  Send(WM_USER);
  // The newer record's change is what the older one sees.
  ExpectSequence({"before WM_USER", "before WM_USER w=1", "orig WM_USER w=2 l=0"}, Take());

  form.reset();
  EXPECT_EQ(Installed(), origProc);
  EXPECT_FALSE(platform::IsWindowProcCallable(hook));
}

TEST_F(FormSubclassTest, DeleteWindowMsgDoesNothing) {
  auto form = Make("");
  EXPECT_TRUE(form->AddWindowMsgs(hwnd));
  EXPECT_FALSE(form->DeleteWindowMsg(hwnd));
  Send(WM_USER);
  ExpectSequence({"before WM_USER", "orig WM_USER"}, Take());
}

// ---- Tables ----------------------------------------------------------------------------------

TEST_F(FormSubclassTest, DuplicateAddChangesNothingAndDeleteLeavesSlotForNextAdd) {
  auto form = Make("");
  form->Attach(hwnd);
  const auto before = FormSubclass::MSG_BEFORE;
  form->AddMsg(hwnd, 10, before);
  form->AddMsg(hwnd, 20, before);
  form->AddMsg(hwnd, 10, before);
  const FormSubclass::MsgTable* table = form->Table(hwnd, before);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->count, 2);
  EXPECT_EQ(table->entries, (std::vector<std::int32_t>{10, 20}));

  form->DelMsg(hwnd, 10, before);
  EXPECT_EQ(table->count, 2);
  EXPECT_EQ(table->entries, (std::vector<std::int32_t>{0, 20}));

  form->AddMsg(hwnd, 30, before);
  EXPECT_EQ(table->count, 2);
  EXPECT_EQ(table->entries, (std::vector<std::int32_t>{30, 20}));
  // The after table was never touched.
  EXPECT_EQ(form->Table(hwnd, FormSubclass::MSG_AFTER)->count, 0);
}

TEST_F(FormSubclassTest, TablesHaveNoCapacityLimit) {
  auto form = Make("");
  form->Attach(hwnd);
  for (UINT i = 1; i <= 100; ++i) form->AddMsg(hwnd, WM_USER + i, FormSubclass::MSG_BEFORE);
  EXPECT_EQ(form->Table(hwnd, FormSubclass::MSG_BEFORE)->count, 100);
  Send(WM_USER + 100);
  Send(WM_USER);
  ExpectSequence({"before WM_USER+100", "orig WM_USER+100", "orig WM_USER"}, Take());
}

TEST_F(FormSubclassTest, AllMessagesThenDeleteAllLeavesTableEmpty) {
  auto form = Make("");
  form->Attach(hwnd);
  const int both = FormSubclass::MSG_BEFORE | FormSubclass::MSG_AFTER;
  form->AddMsg(hwnd, cFormSubclass::ALL_MESSAGES, both);
  Send(WM_SIZE);
  ExpectSequence({"before WM_SIZE", "orig WM_SIZE", "after WM_SIZE r=0"}, Take());

  form->DelMsg(hwnd, cFormSubclass::ALL_MESSAGES, both);
  EXPECT_EQ(form->Table(hwnd, FormSubclass::MSG_BEFORE)->count, 0);
  EXPECT_EQ(form->Table(hwnd, FormSubclass::MSG_AFTER)->count, 0);
  Send(WM_SIZE);
  ExpectSequence({"orig WM_SIZE"}, Take());
}

TEST_F(FormSubclassTest, DeleteAllThenAddStartsFromFirstEntry) {
  auto form = Make("");
  form->Attach(hwnd);
  const auto before = FormSubclass::MSG_BEFORE;
  form->AddMsg(hwnd, WM_USER, before);
  form->AddMsg(hwnd, WM_SIZE, before);
  form->DelMsg(hwnd, cFormSubclass::ALL_MESSAGES, before);
  form->AddMsg(hwnd, kU1, before);
  EXPECT_EQ(form->Table(hwnd, before)->count, 1);
  Send(WM_USER);
  Send(kU1);
  ExpectSequence({"orig WM_USER", "before WM_USER+1", "orig WM_USER+1"}, Take());
}

// ---- Detaching -------------------------------------------------------------------------------

TEST_F(FormSubclassTest, DetachLeavesAProcedurePlacedAboveWorking) {
  auto form = Make("");
  form->AddWindowMsgs(hwnd);
  const platform::WNDPROC hook = Installed();
  // Someone else hooks on top of us afterwards, the raw way, keeping what it replaced.
  const platform::WNDPROC outsider =
      platform::RegisterWindowProc([this, hook](HWND h, UINT m, WPARAM w, LPARAM l) {
        seen.push_back("outsider " + Name(m));
        return platform::CallWindowProc(hook, h, m, w, l);
      });
  platform::SetWindowLongPtr(hwnd, platform::GWL_WNDPROC, outsider);

  form.reset();
  EXPECT_EQ(Installed(), outsider) << "taking our hook out must not take out the one above";
  EXPECT_EQ(Send(WM_USER), kOrigResult);
  ExpectSequence({"outsider WM_USER", "orig WM_USER"}, Take());
  platform::SetWindowLongPtr(hwnd, platform::GWL_WNDPROC, hook);
  platform::UnregisterWindowProc(outsider);
}

TEST_F(FormSubclassTest, InstanceEndedInNestedDispatchReleasesAfterOutermost) {
  std::unique_ptr<FormSubclass> form;
  platform::WNDPROC hook = 0;
  form = Make("", [&](bool bBefore, bool&, LRESULT&, HWND& h, UINT& m, WPARAM&, LPARAM&) {
    if (!bBefore) return;
    if (m == WM_USER) platform::SendMessage(h, kU1, 0, 0);
    if (m == kU1) form.reset();
  });
  form->Attach(hwnd);
  form->AddMsg(hwnd, cFormSubclass::ALL_MESSAGES,
               FormSubclass::MSG_BEFORE | FormSubclass::MSG_AFTER);
  hook = Installed();
  onOrig = [&](UINT) {
    seen.push_back(platform::IsWindowProcCallable(hook) ? "  (hook callable)" : "  (hook gone)");
  };

  EXPECT_EQ(Send(WM_USER), kOrigResult);
  ExpectSequence({"before WM_USER", "before WM_USER+1", "orig WM_USER+1", "  (hook callable)",
                  "orig WM_USER", "  (hook callable)"},
                 Take());
  EXPECT_FALSE(platform::IsWindowProcCallable(hook));
  EXPECT_EQ(Installed(), origProc);
}

TEST_F(FormSubclassTest, HandlerClosesWindowAndEndsInstance) {
  std::unique_ptr<FormSubclass> form;
  form = Make("", [&](bool bBefore, bool&, LRESULT&, HWND& h, UINT& m, WPARAM&, LPARAM&) {
    if (bBefore && m == platform::WM_CLOSE) {
      platform::DestroyWindow(h);
      form.reset();
    }
  });
  form->AddWindowMsgs(hwnd);
  const platform::WNDPROC hook = Installed();
  Send(platform::WM_CLOSE);
  // The window's own procedure went with the window, so WM_CLOSE itself reaches nobody.
  ExpectSequence({"before WM_CLOSE", "before WM_DESTROY", "orig WM_DESTROY", "before WM_NCDESTROY",
                  "orig WM_NCDESTROY"},
                 Take());
  EXPECT_FALSE(platform::IsWindow(hwnd));
  EXPECT_FALSE(platform::IsWindowProcCallable(hook));
}

}  // namespace
