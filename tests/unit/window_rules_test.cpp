// The window layer's display-free rules: client origins, hit testing of child windows, and the
// messages a key stroke becomes.

#include <gtest/gtest.h>

#include <map>

#include "platform/window/WindowRules.h"

namespace {

using namespace platform;
using namespace platform::rules;

// A top-level window at (100, 50) with two overlapping children; the second holds a grandchild.
// 0x20 is hidden and 0x24 disabled; both lie over the others where they are. Every child is a
// tab stop but 0x18; 0x1C starts a group.
const std::map<HWND, WindowPlace>& Tree() {
  static const std::map<HWND, WindowPlace> tree{
      {0x10, {0, {100, 50, 500, 350}, true, true, true, {0x14, 0x18, 0x20, 0x24}}},
      {0x14, {0x10, {10, 10, 110, 110}, false, true, true, {}, true}},
      {0x18, {0x10, {60, 60, 260, 160}, false, true, true, {0x1C}}},
      {0x1C, {0x18, {-5, 5, 20, 30}, false, true, true, {}, true, true}},
      {0x20, {0x10, {0, 0, 400, 20}, false, false, true, {}, true}},
      {0x24, {0x10, {300, 200, 400, 300}, false, true, false, {}, true}},
  };
  return tree;
}

std::optional<WindowPlace> Lookup(HWND h) {
  auto it = Tree().find(h);
  if (it == Tree().end()) return std::nullopt;
  return it->second;
}

struct PointCase {
  const char* name;
  POINT screen;
  HWND want;
  POINT wantOrigin;  // of `want`
};

class HitTable : public ::testing::TestWithParam<PointCase> {};

TEST_P(HitTable, FindsTheDeepestWindowAndItsOrigin) {
  const PointCase& c = GetParam();
  EXPECT_EQ(DeepestChildAt(0x10, c.screen, Lookup), c.want);
  EXPECT_EQ(ClientOrigin(c.want, Lookup), c.wantOrigin);
}

INSTANTIATE_TEST_SUITE_P(
    Window, HitTable,
    ::testing::Values(PointCase{"ClientAreaOnly", {105, 45 + 200}, 0x10, {100, 50}},
                      PointCase{"FirstChild", {115, 65}, 0x14, {110, 60}},
                      // Where the children overlap, the later one lies above.
                      PointCase{"OverlapGoesToLaterChild", {200, 115}, 0x18, {160, 110}},
                      PointCase{"GrandchildInsideItsParent", {160, 120}, 0x1C, {155, 115}},
                      // The grandchild's part left of its parent is not where the parent is.
                      PointCase{"ChildEdgeIsExclusive", {110 + 100, 60}, 0x10, {100, 50}},
                      PointCase{"HiddenChildIsSkipped", {120, 52}, 0x10, {100, 50}},
                      PointCase{"DisabledChildIsSkipped", {450, 300}, 0x10, {100, 50}}),
    [](const auto& info) { return std::string(info.param.name); });

// Tab goes depth first in creation order, round, past hidden and disabled windows (and what
// they hold), and through windows that are no tab stops themselves.
TEST(WindowRules, TabStopsInOrderRound) {
  EXPECT_EQ(0x14u, NextTabStop(0x10, 0x10, false, Lookup));
  EXPECT_EQ(0x1Cu, NextTabStop(0x10, 0x10, true, Lookup));
  EXPECT_EQ(0x1Cu, NextTabStop(0x10, 0x14, false, Lookup));
  EXPECT_EQ(0x14u, NextTabStop(0x10, 0x1C, false, Lookup));
  EXPECT_EQ(0x1Cu, NextTabStop(0x10, 0x14, true, Lookup));
  // Among one parent's children: 0x1C is alone there.
  EXPECT_EQ(0u, NextTabStop(0x18, 0x1C, false, Lookup));
}

// F6 goes round the groups of tab stops (0x14 alone; 0x1C) and then the page.
TEST(WindowRules, PanesRoundTheGroupsAndThePage) {
  const HWND page = 0x30;
  EXPECT_EQ(0x14u, NextPane(0x10, page, page, Lookup));
  EXPECT_EQ(0x1Cu, NextPane(0x10, 0x14, page, Lookup));
  EXPECT_EQ(page, NextPane(0x10, 0x1C, page, Lookup));
  EXPECT_EQ(page, NextPane(0x10, 0x10, page, Lookup));
}

TEST(WindowRules, UnknownWindowsHaveNoOriginAndNoChildren) {
  EXPECT_EQ(ClientOrigin(0x99, Lookup), POINT{});
  EXPECT_EQ(DeepestChildAt(0x99, {1, 1}, Lookup), HWND{0x99});
}

struct KeyCase {
  const char* name;
  KeyStroke key;
  std::vector<KeyMessage> want;
};

class KeyTable : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyTable, BecomesTheseMessages) {
  EXPECT_EQ(KeyMessages(GetParam().key), GetParam().want);
}

// X keysyms and key codes as a US keyboard sends them.
constexpr unsigned kA = 0x61, kOne = 0x31, kF10 = 0xFFC7, kF5 = 0xFFC2, kAltL = 0xFFE9,
                   kReturn = 0xFF0D, kKp7 = 0xFFB7, kComma = 0x2C;
constexpr LPARAM kDown38 = 1 | (30 << 16);  // key code 38 is scan code 30
constexpr LPARAM kUp38 = kDown38 | (LPARAM(1) << 30) | static_cast<LPARAM>(0x80000000u);

INSTANTIATE_TEST_SUITE_P(
    Window, KeyTable,
    ::testing::Values(
        KeyCase{"LetterTypesLowerCase",
                {kA, U'a', 38},
                {{WM_KEYDOWN, 'A', kDown38}, {WM_CHAR, 'a', kDown38}}},
        KeyCase{"ReleaseSetsBothHighBits", {kA, U'a', 38, false}, {{WM_KEYUP, 'A', kUp38}}},
        KeyCase{"RepeatSetsPreviousState",
                {kA, U'a', 38, true, true},
                {{WM_KEYDOWN, 'A', kDown38 | (LPARAM(1) << 30)},
                 {WM_CHAR, 'a', kDown38 | (LPARAM(1) << 30)}}},
        // Shift+1 is still the key '1' and types '!'.
        KeyCase{"ShiftedDigit",
                {kOne, U'!', 10},
                {{WM_KEYDOWN, '1', 1 | (2 << 16)}, {WM_CHAR, '!', 1 | (2 << 16)}}},
        KeyCase{"ControlLetterGivesControlCode",
                {kA, U'a', 38, true, false, false, true},
                {{WM_KEYDOWN, 'A', kDown38}, {WM_CHAR, 0x01, kDown38}}},
        KeyCase{"AltLetterIsSystemKeyWithoutChar",
                {kA, U'a', 38, true, false, true},
                {{WM_SYSKEYDOWN, 'A', kDown38}}},
        KeyCase{"F10IsSystemKey", {kF10, 0, 76}, {{WM_SYSKEYDOWN, VK_F10, 1 | (68 << 16)}}},
        KeyCase{"F5IsPlainKey", {kF5, 0, 71}, {{WM_KEYDOWN, 0x74, 1 | (63 << 16)}}},
        KeyCase{"AltItselfIsSystemKey", {kAltL, 0, 64}, {{WM_SYSKEYDOWN, VK_MENU, 1 | (56 << 16)}}},
        KeyCase{"ReturnTypesCarriageReturn",
                {kReturn, U'\r', 36},
                {{WM_KEYDOWN, VK_RETURN, 1 | (28 << 16)}, {WM_CHAR, '\r', 1 | (28 << 16)}}},
        KeyCase{"KeypadDigit",
                {kKp7, U'7', 79},
                {{WM_KEYDOWN, 0x67, 1 | (71 << 16)}, {WM_CHAR, '7', 1 | (71 << 16)}}},
        // A key without a code of its own still types its character.
        KeyCase{"UncodedKeyOnlyTypes", {kComma, U',', 59}, {{WM_CHAR, ',', 1 | (51 << 16)}}},
        // The deleting character is a key, never a character.
        KeyCase{"DeleteCharacterIsNotTyped",
                {0xFFFF, 0x7F, 119},
                {{WM_KEYDOWN, 0x2E, 1 | (111 << 16)}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
