// The skinned frame without a display: its piece lists as tables, its title bar read back from
// the persistent image against the sprite, its properties and its drag request.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/BForm.h"
#include "platform/gdi/Gdi.h"

namespace {

using namespace platform;
using controls::BForm;
using controls::PropertyBag;
using controls::UserControlArgs;
namespace bform = controls::bform;
using bform::Piece;

constexpr int kSW = 1410, kSH = 1275;  // the 94 x 85 sprite

TEST(BFormPieces, SixThousandTwipBar) {
  const std::vector<Piece> p = bform::TitleBarPieces(6000, kSW);
  ASSERT_EQ(23u, p.size());
  for (int i = 1; i <= 21; ++i) EXPECT_EQ((Piece{300, 0, 300, 545, i * 300, 0}), p[i - 1]) << i;
  EXPECT_EQ((Piece{0, 0, 545, 545, 0, 0}), p[21]);
  EXPECT_EQ((Piece{410, 0, 1000, 545, 5000, 0}), p[22]);
}

TEST(BFormPieces, BordersOfA4500By3000Form) {
  const std::vector<Piece> p = bform::BorderPieces(4500, 3000, kSW, kSH);
  // 16 bottom, 11 left, 11 right, two corners.
  ASSERT_EQ(16u + 11u + 11u + 2u, p.size());
  EXPECT_EQ((Piece{300, 1215, 300, 500, 300, 2940}), p[0]);
  EXPECT_EQ((Piece{300, 1215, 300, 500, 4800, 2940}), p[15]);
  EXPECT_EQ((Piece{0, 800, 60, 500, 0, 300}), p[16]);
  EXPECT_EQ((Piece{0, 800, 60, 500, 0, 3300}), p[26]);
  EXPECT_EQ((Piece{1350, 800, 300, 500, 4440, 300}), p[27]);
  EXPECT_EQ((Piece{0, 1215, 545, 60, 0, 2940}), p[38]);
  EXPECT_EQ((Piece{910, 1215, 500, 60, 4000, 2940}), p[39]);
}

TEST(BFormPieces, NominCoverAndPixelRounding) {
  EXPECT_EQ((Piece{210, 0, 400, 545, 5170, 0}), bform::NominPiece(6000, kSW));
  // Each coordinate rounds on its own: 545 twips are 36 pixels, 400 are 27, 910 are 61.
  EXPECT_EQ((bform::PixelPiece{14, 0, 27, 36, 345, 0}), bform::ToPixels(bform::NominPiece(6000, kSW)));
  EXPECT_EQ((bform::PixelPiece{61, 81, 33, 4, 267, 196}),
            bform::ToPixels(Piece{910, 1215, 500, 60, 4000, 2940}));
}

TEST(BFormPieces, ColourText) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> colour;
  } cases[] = {{"255", 255u},        {"14346732", 14346732u}, {"&HFF", 255u}, {" 16 ", 16u},
               {"-1", 0xFFFFFFFFu},  {"", std::nullopt},       {"red", std::nullopt},
               {"12x", std::nullopt}, {"99999999999", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(c.colour, bform::ParseColorText(c.text)) << c.text;
}

class BFormTest : public ::testing::Test {
 protected:
  std::unique_ptr<BForm> Make(int wTwips, int hTwips, const PropertyBag* bag = nullptr) {
    UserControlArgs a;
    a.headless = true;
    a.width = wTwips;
    a.height = hTwips;
    a.properties = bag;
    return std::make_unique<BForm>(a);
  }
  // The sprite's pixel (x, y).
  static COLORREF Sprite(const BForm& f, int x, int y) {
    HDC dc = CreateCompatibleDC(0);
    HGDIOBJ old = SelectObject(dc, f.Sprite()->Handle());
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
  }
};

TEST_F(BFormTest, TitleBarPiecesLandWhereTheyBelong) {
  PropertyBag design;
  design.WriteProperty("Caption", std::string(""));
  auto f = Make(6000, 495, &design);
  ASSERT_TRUE(f->Sprite());
  ASSERT_EQ(94, f->Sprite()->Width());
  ASSERT_EQ(400, f->PixelWidth());
  ASSERT_EQ(33, f->PixelHeight());
  for (int y = 0; y < 33; ++y) {
    // left end: sprite columns 0..35 at 0..35
    for (int x = 0; x < 36; ++x) ASSERT_EQ(Sprite(*f, x, y), GetPixel(f->hDC(), x, y)) << x << "," << y;
    // middle: sprite columns 20..39 repeated every 20 pixels from 40 (the left end covers 20..35)
    for (int x = 40; x < 333; ++x) ASSERT_EQ(Sprite(*f, 20 + x % 20, y), GetPixel(f->hDC(), x, y)) << x;
    // right end: sprite columns 27..93 at 333..399
    for (int x = 333; x < 400; ++x) ASSERT_EQ(Sprite(*f, x - 306, y), GetPixel(f->hDC(), x, y)) << x;
  }
}

TEST_F(BFormTest, CaptionStartsFurtherRightWithALogo) {
  auto inkLeft = [](const BForm& f, const BForm& blank) {
    for (int x = 0; x < f.PixelWidth(); ++x)
      for (int y = 0; y < f.PixelHeight(); ++y)
        if (GetPixel(f.hDC(), x, y) != GetPixel(blank.hDC(), x, y)) return x;
    return -1;
  };
  PropertyBag none;
  none.WriteProperty("Caption", std::string(""));
  auto blank = Make(6000, 500, &none);
  auto f = Make(6000, 500);
  f->Caption("客户端");
  const int plain = inkLeft(*f, *blank);
  EXPECT_GE(plain, 10);
  EXPECT_LT(plain, 14);
  f->HasLogo(true);
  const int logo = inkLeft(*f, *blank);
  EXPECT_GE(logo, 40);
  EXPECT_LT(logo, 44);
}

TEST_F(BFormTest, HeightStaysAt500Twips) {
  auto f = Make(3000, 495);
  EXPECT_EQ(500, f->Height());
  f->Move(0, 0, 3000, 2000);
  EXPECT_EQ(500, f->Height());
  EXPECT_EQ(33, f->PixelHeight());
  f->Move(0, 0, 0, 0);  // a zero width is drawn without harm; the height comes back
  EXPECT_EQ(500, f->Height());
}

TEST_F(BFormTest, BackColorIsDecimalText) {
  auto f = Make(3000, 500);
  EXPECT_EQ("14346732", f->BackColor());
  std::vector<std::string> changed;
  f->PropertyChangedHandler = [&](std::string_view n) { changed.emplace_back(n); };
  f->BackColor("255");
  EXPECT_EQ("255", f->BackColor());
  f->BackColor("not a colour");
  EXPECT_EQ("255", f->BackColor());
  f->Caption("c");
  f->HasLogo(true);
  f->frmHwnd(7);
  EXPECT_EQ((std::vector<std::string>{"BackColor", "BackColor", "Caption", "HasLogo", "frmHwnd"}), changed);
}

TEST_F(BFormTest, PropertiesAreReadAndWrittenInTheirOrders) {
  PropertyBag design;
  design.WriteProperty("Caption", std::string("提示"));
  design.WriteProperty("HasLogo", true);
  design.ClearAccesses();
  auto f = Make(3000, 500, &design);
  using A = PropertyBag::Access;
  EXPECT_EQ((std::vector<A>{{false, "BackColor"}, {false, "Caption"}, {false, "frmHwnd"}, {false, "HasLogo"}}),
            design.Accesses());
  EXPECT_EQ("提示", f->Caption());
  EXPECT_TRUE(f->HasLogo());
  EXPECT_EQ(0u, f->frmHwnd());
  PropertyBag saved;
  f->WriteProperties(saved);
  EXPECT_EQ((std::vector<A>{{true, "BackColor"}, {true, "Caption"}, {true, "frmHwnd"}, {true, "HasLogo"}}),
            saved.Accesses());
  EXPECT_EQ((std::vector<std::string>{"Caption", "HasLogo"}), saved.Keys());
  // A new instance: the defaults.
  auto fresh = Make(3000, 500);
  EXPECT_EQ("NewForm", fresh->Caption());
  EXPECT_FALSE(fresh->HasLogo());
}

TEST_F(BFormTest, LeftPressAsksTheWindowToBeDraggedThenRaisesMouseDown) {
  std::vector<std::string> seen;
  CreateWindowArgs a;
  a.messageOnly = true;
  a.proc = [&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_NCLBUTTONDOWN) seen.push_back("WM_NCLBUTTONDOWN " + std::to_string(w));
    return DefWindowProc(h, m, w, l);
  };
  const HWND host = CreateWindowEx(a);
  auto f = Make(3000, 500);
  f->MouseDown = [&](short& b, short&, float& x, float&) {
    seen.push_back("MouseDown " + std::to_string(b) + " " + std::to_string(static_cast<int>(x)));
  };
  f->frmHwnd(host);
  SendMessage(f->hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
  SendMessage(f->hWnd(), WM_LBUTTONUP, 0, MAKELPARAM(10, 5));
  SendMessage(f->hWnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 5));
  EXPECT_EQ((std::vector<std::string>{"WM_NCLBUTTONDOWN 2", "MouseDown 1 150", "MouseDown 2 150"}), seen);
  // No window, or one that is gone: nothing to drag, the event still comes.
  seen.clear();
  f->frmHwnd(0);
  SendMessage(f->hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  DestroyWindow(host);
  f->frmHwnd(host);
  SendMessage(f->hWnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  EXPECT_EQ((std::vector<std::string>{"MouseDown 1 15", "MouseDown 1 15"}), seen);
}

TEST_F(BFormTest, PrintformOnNoWindowDoesNothing) {
  auto f = Make(3000, 500);
  f->Printform(0);
  f->Printform(0x7FFFFFF0);
  f->Nomin();
  SUCCEED();
}

}  // namespace
