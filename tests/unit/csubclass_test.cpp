// CSubclass on message-only windows: what the client and the window's own procedure see, as
// recorded sequences, and what the event log says.

#include "controls/CSubclass.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/EventLog.h"
#include "platform/window/Window.h"

namespace {

using controls::CSubclass;
using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WM_DESTROY;
using platform::WM_NCDESTROY;
using platform::WM_SIZE;
using platform::WM_USER;
using platform::WPARAM;

using Seq = std::vector<std::string>;

constexpr LRESULT kOrigResult = 7;  // what the window's own procedure returns for WM_USER

std::string Name(UINT m) {
  switch (m) {
    case WM_DESTROY:
      return "WM_DESTROY";
    case WM_NCDESTROY:
      return "WM_NCDESTROY";
    case WM_SIZE:
      return "WM_SIZE";
    default:
      break;
  }
  if (m == WM_USER) return "WM_USER";
  if (m > WM_USER && m < WM_USER + 0x100) return "WM_USER+" + std::to_string(m - WM_USER);
  return "msg " + std::to_string(m);
}

std::string Join(const Seq& s) {
  std::ostringstream out;
  for (const std::string& line : s) out << "    " << line << "\n";
  return out.str();
}

void ExpectSequence(const Seq& expected, const Seq& seen) {
  EXPECT_EQ(expected, seen) << "expected:\n" << Join(expected) << "seen:\n" << Join(seen);
}

// Runs the main context until `done` holds, for at most about two seconds.
bool PumpUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 400 && !done(); ++i) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (!done()) g_usleep(5000);
  }
  return done();
}

class CSubclassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousSink_ =
        platform::SetEventLogSink([this](std::string_view line) { logLines.emplace_back(line); });
    hwnd = MakeWindow();
    ASSERT_NE(hwnd, 0u);
    origProc = platform::GetWindowLongPtr(hwnd, platform::GWL_WNDPROC);
    sub->WindowProc = [this](bool bBefore, bool& bHandled, LRESULT& lReturn, HWND h, UINT m,
                             WPARAM w, LPARAM l, LPARAM& user) {
      seen.push_back(std::string(bBefore ? "before " : "after ") + Name(m) +
                     " r=" + std::to_string(lReturn));
      if (bBefore && onBefore) onBefore(bHandled, lReturn, h, m, user);
      if (!bBefore && onAfter) onAfter(bHandled, lReturn, h, m, user);
    };
  }

  void TearDown() override {
    sub.reset();
    platform::SetEventLogSink(previousSink_);
  }

  HWND MakeWindow() {
    platform::CreateWindowArgs args;
    args.messageOnly = true;
    args.proc = [this](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
      seen.push_back("orig " + Name(m));
      if (onOrig) onOrig(m);
      return m == WM_USER ? kOrigResult : 0;
    };
    const HWND h = platform::CreateWindowEx(args);
    seen.clear();  // WM_CREATE
    return h;
  }

  bool Subclass(HWND h, LPARAM user = 0, int ordinal = 1, bool apiWindow = false) {
    return sub->ssc_Subclass(h, user, ordinal, true, nullptr, apiWindow);
  }

  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return platform::SendMessage(hwnd, m, w, l); }

  // What the current message sequence is, taken and cleared.
  Seq Take() { return std::exchange(seen, {}); }
  Seq TakeLog() { return std::exchange(logLines, {}); }

  platform::WNDPROC Installed() const {
    return platform::GetWindowLongPtr(hwnd, platform::GWL_WNDPROC);
  }

  using PhaseHook =
      std::function<void(bool& bHandled, LRESULT& lReturn, HWND h, UINT m, LPARAM& user)>;
  PhaseHook onBefore;
  PhaseHook onAfter;
  std::function<void(UINT)> onOrig;

  std::unique_ptr<CSubclass> sub = std::make_unique<CSubclass>();
  HWND hwnd = 0;
  platform::WNDPROC origProc = 0;
  Seq seen;
  Seq logLines;

 private:
  platform::EventLogSink previousSink_;
};

// ---- Phases ----------------------------------------------------------------------------------

enum class BeforeAction { None, Swallow, CallOrigThenSwallow };

struct PhaseCase {
  const char* name;
  int when;  // ssc_AddMsg's When for WM_USER; 0: not added
  BeforeAction before;
  std::optional<LRESULT> afterReplaces;
  Seq expected;
  LRESULT result;
};

void PrintTo(const PhaseCase& c, std::ostream* os) {
  *os << c.name;
}

class PhaseTest : public CSubclassTest, public ::testing::WithParamInterface<PhaseCase> {};

TEST_P(PhaseTest, SendsWmUser) {
  const PhaseCase& c = GetParam();
  ASSERT_TRUE(Subclass(hwnd));
  if (c.when != 0) sub->ssc_AddMsg(hwnd, WM_USER, c.when);
  onBefore = [&](bool& bHandled, LRESULT& lReturn, HWND h, UINT m, LPARAM&) {
    if (c.before == BeforeAction::Swallow) {
      bHandled = true;
      lReturn = 1;
    } else if (c.before == BeforeAction::CallOrigThenSwallow) {
      lReturn = sub->ssc_CallOrigWndProc(h, m, 0, 0);
      bHandled = true;
    }
  };
  onAfter = [&](bool&, LRESULT& lReturn, HWND, UINT, LPARAM&) {
    if (c.afterReplaces) lReturn = *c.afterReplaces;
  };
  EXPECT_EQ(Send(WM_USER), c.result);
  ExpectSequence(c.expected, Take());
  EXPECT_TRUE(logLines.empty());
}

INSTANTIATE_TEST_SUITE_P(CSubclass, PhaseTest,
                         ::testing::Values(PhaseCase{"before_only",
                                                     CSubclass::MSG_BEFORE,
                                                     BeforeAction::None,
                                                     {},
                                                     {"before WM_USER r=0", "orig WM_USER"},
                                                     kOrigResult},
                                           PhaseCase{"after_only_sees_previous_result",
                                                     CSubclass::MSG_AFTER,
                                                     BeforeAction::None,
                                                     {},
                                                     {"orig WM_USER", "after WM_USER r=7"},
                                                     kOrigResult},
                                           PhaseCase{"both_phases",
                                                     CSubclass::MSG_BEFORE_AND_AFTER,
                                                     BeforeAction::None,
                                                     {},
                                                     {"before WM_USER r=0", "orig WM_USER",
                                                      "after WM_USER r=7"},
                                                     kOrigResult},
                                           PhaseCase{"not_selected_never_reaches_client",
                                                     0,
                                                     BeforeAction::None,
                                                     {},
                                                     {"orig WM_USER"},
                                                     kOrigResult},
                                           PhaseCase{"handled_skips_previous_and_after",
                                                     CSubclass::MSG_BEFORE_AND_AFTER,
                                                     BeforeAction::Swallow,
                                                     99,
                                                     {"before WM_USER r=0"},
                                                     1},
                                           PhaseCase{"after_replaces_result",
                                                     CSubclass::MSG_AFTER,
                                                     BeforeAction::None,
                                                     42,
                                                     {"orig WM_USER", "after WM_USER r=7"},
                                                     42},
                                           PhaseCase{"call_orig_then_swallow",
                                                     CSubclass::MSG_BEFORE,
                                                     BeforeAction::CallOrigThenSwallow,
                                                     {},
                                                     {"before WM_USER r=0", "orig WM_USER"},
                                                     kOrigResult}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Tables ----------------------------------------------------------------------------------

struct TableCase {
  const char* name;
  std::function<void(CSubclass&, HWND)> arrange;
  std::vector<UINT> send;
  Seq expected;
};

void PrintTo(const TableCase& c, std::ostream* os) {
  *os << c.name;
}

class TableTest : public CSubclassTest, public ::testing::WithParamInterface<TableCase> {};

TEST_P(TableTest, Delivery) {
  const TableCase& c = GetParam();
  ASSERT_TRUE(Subclass(hwnd));
  c.arrange(*sub, hwnd);
  for (UINT m : c.send) Send(m);
  ExpectSequence(c.expected, Take());
  EXPECT_TRUE(logLines.empty());
}

constexpr UINT kU1 = WM_USER + 1;

INSTANTIATE_TEST_SUITE_P(
    CSubclass, TableTest,
    ::testing::Values(
        TableCase{"all_messages_before",
                  [](CSubclass& s, HWND h) { s.ssc_AddMsg(h, CSubclass::ALL_MESSAGES, 1); },
                  {WM_USER, WM_SIZE, kU1},
                  {"before WM_USER r=0", "orig WM_USER", "before WM_SIZE r=0", "orig WM_SIZE",
                   "before WM_USER+1 r=0", "orig WM_USER+1"}},
        TableCase{"all_messages_removed_empties_table",
                  [](CSubclass& s, HWND h) {
                    s.ssc_AddMsg(h, CSubclass::ALL_MESSAGES, 1);
                    s.ssc_DelMsg(h, 1, {CSubclass::ALL_MESSAGES});
                  },
                  {WM_USER, WM_SIZE},
                  {"orig WM_USER", "orig WM_SIZE"}},
        TableCase{"specific_removed",
                  [](CSubclass& s, HWND h) {
                    s.ssc_AddMsg(h, WM_USER, 1);
                    s.ssc_AddMsg(h, WM_SIZE, 1);
                    s.ssc_DelMsg(h, 1, {WM_USER});
                  },
                  {WM_USER, WM_SIZE},
                  {"orig WM_USER", "before WM_SIZE r=0", "orig WM_SIZE"}},
        TableCase{"duplicate_add_leaves_one_entry",
                  [](CSubclass& s, HWND h) {
                    s.ssc_AddMsg(h, WM_USER, 1);
                    s.ssc_AddMsg(h, WM_USER, 1);
                    s.ssc_DelMsg(h, 1, {WM_USER});
                  },
                  {WM_USER},
                  {"orig WM_USER"}},
        TableCase{"del_skips_values_that_are_not_integers",
                  [](CSubclass& s, HWND h) {
                    s.ssc_AddMsg(h, WM_USER, 1);
                    s.ssc_AddMsg(h, WM_SIZE, 1);
                    s.ssc_AddMsg(h, kU1, 1);
                    s.ssc_DelMsg(
                        h, 1,
                        {std::string("WM_USER"), 1024.0, static_cast<std::int16_t>(WM_SIZE),
                         static_cast<std::uint8_t>(WM_SIZE), kU1});
                  },
                  {WM_USER, WM_SIZE, kU1},
                  {"before WM_USER r=0", "orig WM_USER", "orig WM_SIZE", "orig WM_USER+1"}},
        TableCase{"del_specific_while_all_changes_nothing",
                  [](CSubclass& s, HWND h) {
                    s.ssc_AddMsg(h, CSubclass::ALL_MESSAGES, 1);
                    s.ssc_DelMsg(h, 1, {WM_USER});
                  },
                  {WM_USER},
                  {"before WM_USER r=0", "orig WM_USER"}},
        TableCase{"specific_add_after_all_keeps_all",
                  [](CSubclass& s, HWND h) {
                    s.ssc_AddMsg(h, CSubclass::ALL_MESSAGES, 1);
                    s.ssc_AddMsg(h, WM_SIZE, 1);
                  },
                  {WM_USER, WM_SIZE},
                  {"before WM_USER r=0", "orig WM_USER", "before WM_SIZE r=0", "orig WM_SIZE"}}),
    [](const auto& info) { return std::string(info.param.name); });

const std::string kOverflow =
    "CSubclass.zAddMsg: Message table overflow. Either increase the value of Const MSG_ENTRIES "
    "or use ALL_MESSAGES instead of specific message values";

TEST_F(CSubclassTest, ThirtyTwoEntriesFitTheThirtyThirdOverflowsAndHolesAreReused) {
  ASSERT_TRUE(Subclass(hwnd));
  for (UINT i = 1; i <= 32; ++i) sub->ssc_AddMsg(hwnd, WM_USER + i, 1);
  EXPECT_TRUE(logLines.empty());
  sub->ssc_AddMsg(hwnd, WM_USER + 7, 1);  // already there: no overflow
  EXPECT_TRUE(logLines.empty());

  sub->ssc_AddMsg(hwnd, WM_USER + 33, 1);
  ExpectSequence({kOverflow}, TakeLog());
  Send(WM_USER + 33);
  Send(WM_USER + 32);
  ExpectSequence({"orig WM_USER+33", "before WM_USER+32 r=0", "orig WM_USER+32"}, Take());

  sub->ssc_DelMsg(hwnd, 1, {WM_USER + 5});
  sub->ssc_AddMsg(hwnd, WM_USER + 33, 1);
  EXPECT_TRUE(logLines.empty());
  Send(WM_USER + 33);
  Send(WM_USER + 5);
  ExpectSequence({"before WM_USER+33 r=0", "orig WM_USER+33", "orig WM_USER+5"}, Take());
}

TEST_F(CSubclassTest, OverflowOfBeforeTableStillAddsToAfterTable) {
  ASSERT_TRUE(Subclass(hwnd));
  for (UINT i = 1; i <= 32; ++i) sub->ssc_AddMsg(hwnd, WM_USER + i, CSubclass::MSG_BEFORE);
  sub->ssc_AddMsg(hwnd, WM_USER + 33, CSubclass::MSG_BEFORE_AND_AFTER);
  ExpectSequence({kOverflow}, TakeLog());
  Send(WM_USER + 33);
  ExpectSequence({"orig WM_USER+33", "after WM_USER+33 r=0"}, Take());
}

// ---- Removal, nesting and release ------------------------------------------------------------

TEST_F(CSubclassTest, SecondSubclassOfSameWindowIsRefusedAndFirstKeepsWorking) {
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, WM_USER, 1);
  const platform::WNDPROC hook = Installed();
  EXPECT_FALSE(Subclass(hwnd));
  ExpectSequence({"CSubclass.ssc_Subclass: Window handle is already subclassed"}, TakeLog());
  EXPECT_EQ(Installed(), hook);
  Send(WM_USER);
  ExpectSequence({"before WM_USER r=0", "orig WM_USER"}, Take());
}

TEST_F(CSubclassTest, UnSubclassInsideBeforeHandler) {
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE_AND_AFTER);
  const platform::WNDPROC hook = Installed();
  onBefore = [&](bool&, LRESULT&, HWND h, UINT, LPARAM&) { sub->ssc_UnSubclass(h); };
  onOrig = [&](UINT) {
    seen.push_back(Installed() == hook ? "  (hook installed)" : "  (restored)");
  };

  EXPECT_EQ(Send(WM_USER), kOrigResult);
  ExpectSequence({"before WM_USER r=0", "orig WM_USER", "  (hook installed)"}, Take());
  EXPECT_EQ(Installed(), origProc);

  Send(WM_USER);
  ExpectSequence({"orig WM_USER", "  (restored)"}, Take());
  // The registry is now empty: lookups say nothing.
  EXPECT_EQ(sub->zGet_lParamUser(hwnd), 0);
  EXPECT_TRUE(logLines.empty());
}

TEST_F(CSubclassTest, NestedSendPassesBothPhasesInOrder) {
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE_AND_AFTER);
  onBefore = [&](bool&, LRESULT&, HWND h, UINT m, LPARAM&) {
    if (m == WM_USER) {
      EXPECT_EQ(platform::SendMessage(h, kU1, 0, 0), 0);
    }
  };
  EXPECT_EQ(Send(WM_USER), kOrigResult);
  ExpectSequence({"before WM_USER r=0", "before WM_USER+1 r=0", "orig WM_USER+1",
                  "after WM_USER+1 r=0", "orig WM_USER", "after WM_USER r=7"},
                 Take());
}

TEST_F(CSubclassTest, UnSubclassInNestedSendRestoresOnlyWhenOutermostLeaves) {
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE_AND_AFTER);
  const platform::WNDPROC hook = Installed();
  onBefore = [&](bool&, LRESULT&, HWND h, UINT m, LPARAM&) {
    if (m == WM_USER) platform::SendMessage(h, kU1, 0, 0);
    if (m == kU1) sub->ssc_UnSubclass(h);
  };
  onOrig = [&](UINT) {
    seen.push_back(Installed() == hook ? "  (hook installed)" : "  (restored)");
  };

  EXPECT_EQ(Send(WM_USER), kOrigResult);
  ExpectSequence({"before WM_USER r=0", "before WM_USER+1 r=0", "orig WM_USER+1",
                  "  (hook installed)", "orig WM_USER", "  (hook installed)"},
                 Take());
  EXPECT_EQ(Installed(), origProc);
  Send(WM_USER);
  ExpectSequence({"orig WM_USER", "  (restored)"}, Take());
}

TEST_F(CSubclassTest, ReleasedHookPassesMessagesThroughUntilFreed) {
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE_AND_AFTER);
  const platform::WNDPROC hook = Installed();
  sub->ssc_UnSubclass(hwnd);
  EXPECT_EQ(Installed(), hook) << "put back only as the next message leaves the hook";
  Send(WM_USER);
  ExpectSequence({"orig WM_USER"}, Take());
  EXPECT_EQ(Installed(), origProc);

  // Someone still holding the hook's procedure after it was taken down loses the message; the
  // log says so once, not once per message.
  EXPECT_EQ(platform::CallWindowProc(hook, hwnd, WM_USER, 0, 0), 0);
  EXPECT_EQ(platform::CallWindowProc(hook, hwnd, WM_USER, 0, 0), 0);
  EXPECT_TRUE(Take().empty());
  const Seq log = TakeLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("no longer exists"), std::string::npos) << log[0];
}

TEST_F(CSubclassTest, WindowDestroyedWhileHooked) {
  ASSERT_TRUE(Subclass(hwnd, 42));
  sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE);
  const platform::WNDPROC hook = Installed();
  ASSERT_TRUE(platform::DestroyWindow(hwnd));
  ExpectSequence(
      {"before WM_DESTROY r=0", "orig WM_DESTROY", "before WM_NCDESTROY r=0", "orig WM_NCDESTROY"},
      Take());

  // The window's hook chain went with it; the record is released, not yet freed, and answers.
  EXPECT_FALSE(platform::IsWindowProcCallable(hook));
  EXPECT_EQ(sub->zGet_lParamUser(hwnd), 42);

  ASSERT_TRUE(PumpUntil([&] { return sub->zGet_lParamUser(hwnd) == 0; }));
  // Freed: the registry entry is inert.
  EXPECT_EQ(sub->zGet_lParamUser(hwnd), 0);
  sub->zSet_lParamUser(hwnd, 1);
  sub->ssc_AddMsg(hwnd, WM_USER, 1);
  sub->ssc_DelMsg(hwnd, 1, {WM_USER});
  EXPECT_EQ(sub->ssc_CallOrigWndProc(hwnd, WM_USER, 0, 0), 0);
  EXPECT_TRUE(logLines.empty());
  EXPECT_TRUE(Take().empty());
}

// The owner's receiving routine goes away without the hook being taken down by the client.
class OwnerGoneTest : public CSubclassTest, public ::testing::WithParamInterface<bool> {};

TEST_P(OwnerGoneTest, HookReleasesItself) {
  const bool apiWindow = GetParam();
  const int ordinal = sub->AddReceivingRoutine(
      [this](bool bBefore, bool&, LRESULT&, HWND, UINT m, WPARAM, LPARAM, LPARAM&) {
        seen.push_back(std::string("routine ") + (bBefore ? "before " : "after ") + Name(m));
      });
  ASSERT_EQ(ordinal, 2);
  ASSERT_TRUE(Subclass(hwnd, 3, ordinal, apiWindow));
  sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE_AND_AFTER);
  const platform::WNDPROC hook = Installed();
  Send(WM_USER);
  ExpectSequence({"routine before WM_USER", "orig WM_USER", "routine after WM_USER"}, Take());

  sub->RemoveReceivingRoutine(ordinal);
  EXPECT_EQ(Send(WM_USER), kOrigResult);
  if (apiWindow) {
    ExpectSequence({"orig WM_USER", "orig WM_DESTROY", "orig WM_NCDESTROY"}, Take());
    EXPECT_FALSE(platform::IsWindow(hwnd));
  } else {
    ExpectSequence({"orig WM_USER"}, Take());
    EXPECT_TRUE(platform::IsWindow(hwnd));
    EXPECT_EQ(Installed(), origProc);
  }

  EXPECT_EQ(sub->zGet_lParamUser(hwnd), 3) << "released, not yet freed";
  ASSERT_TRUE(PumpUntil([&] { return sub->zGet_lParamUser(hwnd) == 0; }));
  EXPECT_FALSE(platform::IsWindowProcCallable(hook));
  EXPECT_TRUE(TakeLog().empty());
  if (!apiWindow) {
    // The inert entry keeps the handle taken for this instance.
    EXPECT_FALSE(Subclass(hwnd));
    ExpectSequence({"CSubclass.ssc_Subclass: Window handle is already subclassed"}, TakeLog());
    Send(WM_USER);
    ExpectSequence({"orig WM_USER"}, Take());
  }
}

INSTANTIATE_TEST_SUITE_P(CSubclass, OwnerGoneTest, ::testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "api_window_destroyed" : "window_kept");
});

TEST_F(CSubclassTest, InstanceDestroyedInsideHandler) {
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, CSubclass::ALL_MESSAGES, CSubclass::MSG_BEFORE_AND_AFTER);
  onBefore = [&](bool&, LRESULT&, HWND, UINT, LPARAM&) { sub.reset(); };
  EXPECT_EQ(Send(WM_USER), kOrigResult);
  ExpectSequence({"before WM_USER r=0", "orig WM_USER"}, Take());
  EXPECT_EQ(Installed(), origProc);
  Send(WM_USER);
  ExpectSequence({"orig WM_USER"}, Take());
}

TEST_F(CSubclassTest, LParamUserKeepsLastStoredValue) {
  ASSERT_TRUE(Subclass(hwnd, 5));
  sub->ssc_AddMsg(hwnd, WM_USER, 1);
  EXPECT_EQ(sub->zGet_lParamUser(hwnd), 5);
  sub->zSet_lParamUser(hwnd, 9);
  onBefore = [&](bool&, LRESULT&, HWND, UINT, LPARAM& user) {
    seen.push_back("  user=" + std::to_string(user));
    user += 2;
  };
  Send(WM_USER);
  EXPECT_EQ(sub->zGet_lParamUser(hwnd), 11);
  Send(WM_USER);
  ExpectSequence({"before WM_USER r=0", "  user=9", "orig WM_USER", "before WM_USER r=0",
                  "  user=11", "orig WM_USER"},
                 Take());
  EXPECT_TRUE(logLines.empty());
}

// ---- Refusals and lookups --------------------------------------------------------------------

struct RefusalCase {
  const char* name;
  std::function<HWND(HWND own)> target;
  int ordinal;
  std::string line;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class RefusalTest : public CSubclassTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, SubclassReturnsFalseWithLogLine) {
  const RefusalCase& c = GetParam();
  const HWND target = c.target(hwnd);
  EXPECT_FALSE(Subclass(target, 0, c.ordinal));
  ExpectSequence({"CSubclass.ssc_Subclass: " + c.line}, TakeLog());
  EXPECT_EQ(Installed(), origProc);
}

INSTANTIATE_TEST_SUITE_P(
    CSubclass, RefusalTest,
    ::testing::Values(
        RefusalCase{"not_a_window", [](HWND) { return HWND{0xDEAD0}; }, 1, "Invalid window handle"},
        RefusalCase{"no_window", [](HWND) { return HWND{0}; }, 1, "Invalid window handle"},
        RefusalCase{"other_process",
                    [](HWND) {
                      return platform::WrapForeignWindow(0x4400001,
                                                         platform::GetCurrentProcessId() + 1);
                    },
                    1, "Window handle belongs to another process"},
        RefusalCase{"ordinal_zero", [](HWND h) { return h; }, 0, "Callback method not found"},
        RefusalCase{"ordinal_without_routine", [](HWND h) { return h; }, 2,
                    "Callback method not found"},
        RefusalCase{"ordinal_negative", [](HWND h) { return h; }, -1, "Callback method not found"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CSubclassTest, FailedInstallLeavesInertEntry) {
  // Ours by process id, but its procedure cannot be replaced.
  const HWND stubborn = platform::WrapForeignWindow(0x4400002, platform::GetCurrentProcessId());
  EXPECT_FALSE(Subclass(stubborn));
  const Seq log = TakeLog();
  ASSERT_EQ(log.size(), 1u);
  const std::string prefix = "CSubclass.ssc_Subclass: SetWindowLong failed, error #";
  ASSERT_EQ(log[0].substr(0, prefix.size()), prefix);
  const std::string number = log[0].substr(prefix.size());
  EXPECT_FALSE(number.empty());
  EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << number;
  EXPECT_NE(number, "0");

  EXPECT_EQ(sub->zGet_lParamUser(stubborn), 0);
  EXPECT_TRUE(logLines.empty());
  EXPECT_FALSE(Subclass(stubborn));
  ExpectSequence({"CSubclass.ssc_Subclass: Window handle is already subclassed"}, TakeLog());
  // Other windows are unaffected.
  EXPECT_TRUE(Subclass(hwnd));
}

enum class RegistryState { Never, AfterTerminate, UnknownWindow, Empty };
const char* const kStates[] = {"no_registry", "after_terminate", "unknown_window",
                               "empty_registry"};

void PrintTo(RegistryState state, std::ostream* os) {
  *os << kStates[static_cast<int>(state)];
}

struct LookupOp {
  const char* name;
  std::function<void(CSubclass&, HWND)> run;
  bool reports;  // false: the lookup behind it is silent
};

const LookupOp kLookupOps[] = {
    {"AddMsg", [](CSubclass& s, HWND h) { s.ssc_AddMsg(h, WM_USER, 3); }, true},
    {"DelMsg", [](CSubclass& s, HWND h) { s.ssc_DelMsg(h, 3, {WM_USER}); }, true},
    {"CallOrigWndProc",
     [](CSubclass& s, HWND h) { EXPECT_EQ(s.ssc_CallOrigWndProc(h, WM_USER, 0, 0), 0); }, true},
    {"SetLParamUser", [](CSubclass& s, HWND h) { s.zSet_lParamUser(h, 3); }, true},
    {"GetLParamUser", [](CSubclass& s, HWND h) { EXPECT_EQ(s.zGet_lParamUser(h), 0); }, true},
    {"UnSubclass", [](CSubclass& s, HWND h) { s.ssc_UnSubclass(h); }, false},
};

class LookupTest : public CSubclassTest,
                   public ::testing::WithParamInterface<std::tuple<RegistryState, int>> {};

TEST_P(LookupTest, LogsPerRegistryState) {
  const auto [state, opIndex] = GetParam();
  const LookupOp& op = kLookupOps[opIndex];
  std::string expected;
  switch (state) {
    case RegistryState::Never:
      expected = "CSubclass.zMap_VFunction: Thunk hasn't been initialized";
      break;
    case RegistryState::AfterTerminate:
      ASSERT_TRUE(Subclass(hwnd));
      sub->ssc_Terminate();
      expected = "CSubclass.zMap_VFunction: Thunk hasn't been initialized";
      break;
    case RegistryState::UnknownWindow:
      ASSERT_TRUE(Subclass(MakeWindow()));
      expected = "CSubclass.zMap_VFunction: Thunk type for  does not exist";
      break;
    case RegistryState::Empty: {
      const HWND other = MakeWindow();
      ASSERT_TRUE(Subclass(other));
      sub->ssc_UnSubclass(other);
      break;
    }
  }
  TakeLog();
  Take();
  op.run(*sub, hwnd);
  Seq expectedLog;
  if (op.reports && !expected.empty()) expectedLog.push_back(expected);
  ExpectSequence(expectedLog, TakeLog());
  EXPECT_TRUE(Take().empty()) << "the lookup failed, so nothing may reach a window";
}

INSTANTIATE_TEST_SUITE_P(
    CSubclass, LookupTest,
    ::testing::Combine(::testing::Values(RegistryState::Never, RegistryState::AfterTerminate,
                                         RegistryState::UnknownWindow, RegistryState::Empty),
                       ::testing::Range(0, static_cast<int>(std::size(kLookupOps)))),
    [](const auto& info) {
      return std::string(kStates[static_cast<int>(std::get<0>(info.param))]) + "_" +
             kLookupOps[std::get<1>(info.param)].name;
    });

TEST_F(CSubclassTest, SubclassWorksAgainAfterTerminate) {
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, WM_USER, 1);
  sub->ssc_Terminate();
  Send(WM_USER);  // leaves the released hook, which puts the window's procedure back
  ExpectSequence({"orig WM_USER"}, Take());
  ASSERT_TRUE(Subclass(hwnd));
  sub->ssc_AddMsg(hwnd, WM_USER, 1);
  Send(WM_USER);
  ExpectSequence({"before WM_USER r=0", "orig WM_USER"}, Take());
  EXPECT_TRUE(logLines.empty());
}

}  // namespace
