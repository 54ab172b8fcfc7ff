// The tray icon's record: the fields each call fills and the cut of its texts.

#include <gtest/gtest.h>

#include <cstring>

#include "mainwin/COrvNotifyIcon.h"

using namespace platform;

namespace {

struct CutCase {
  const char* name;
  std::string text;
  std::size_t kept;  // bytes before the NUL
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

}  // namespace

TEST(COrvNotifyIcon, TextsAreCutToTheirFieldAtACharacterBoundary) {
  const CutCase cases[] = {
      {"empty", "", 0},
      {"short", "ZorvikTalmar2客户端", std::strlen("ZorvikTalmar2客户端")},
      {"exactly 127", std::string(127, 'a'), 127},
      {"longer", std::string(300, 'a'), 127},
      {"three-byte characters", Repeat("客", 50), 126},
      {"four-byte character across the end", std::string(125, 'a') + "😀", 125},
      {"two-byte character ending at 127", std::string(125, 'a') + "é" + "x", 127},
  };
  for (const CutCase& c : cases) {
    char field[128];
    COrvNotifyIcon::SetField(field, sizeof field, c.text);
    EXPECT_EQ(c.kept, std::strlen(field)) << c.name;
    EXPECT_EQ(0, std::memcmp(field, c.text.data(), c.kept)) << c.name;
    for (std::size_t i = c.kept + 1; i < sizeof field; ++i) ASSERT_EQ(' ', field[i]) << c.name;
  }
}

TEST(COrvNotifyIcon, EveryCallFillsTheRecordForTheSameIcon) {
  COrvNotifyIcon icon;  // no window: the calls fail, the record is filled all the same
  EXPECT_FALSE(icon.AddNotifyIcon(0x4242, 0x77, "tip"));
  const NOTIFYICONDATA& r = icon.Record();
  EXPECT_EQ(0x4242u, r.hWnd);
  EXPECT_EQ(1000u, r.uID);
  EXPECT_EQ(23u, r.uFlags);
  EXPECT_EQ(6242u, r.uCallbackMessage);
  EXPECT_EQ(0x77u, r.hIcon);
  EXPECT_STREQ("tip", r.szTip);
  EXPECT_STREQ("", r.szInfo);

  icon.ModifyNotifyIcon(0x4243, 0, "other");
  EXPECT_EQ(6242u, r.uCallbackMessage);  // a modify keeps the window's clicks
  EXPECT_EQ(0x4243u, r.hWnd);
  icon.ShowBubble("title", "text", NIIF_WARNING);
  EXPECT_STREQ("title", r.szInfoTitle);
  EXPECT_STREQ("text", r.szInfo);
  EXPECT_EQ(static_cast<DWORD>(NIIF_WARNING), r.dwInfoFlags);
  icon.HideBubble();
  EXPECT_STREQ("", r.szInfoTitle);
  EXPECT_STREQ("", r.szInfo);
  EXPECT_STREQ("other", r.szTip);
}
