#include "controls/BForm.h"

#include <charconv>
#include "platform/window/WindowDc.h"

using namespace platform;
using controls::PropertyBag;
using controls::StdPicture;

namespace controls::bform {

std::vector<Piece> TitleBarPieces(int W, int SW) {
  std::vector<Piece> pieces;
  for (int i = 1; i <= W / 300 + 1; ++i) pieces.push_back({300, 0, 300, 545, i * 300, 0});
  pieces.push_back({0, 0, 545, 545, 0, 0});
  pieces.push_back({SW - 1000, 0, 1000, 545, W - 1000, 0});
  return pieces;
}

std::vector<Piece> BorderPieces(int W, int H, int SW, int SH) {
  std::vector<Piece> pieces;
  for (int i = 1; i <= W / 300 + 1; ++i)
    pieces.push_back({300, SH - 60, 300, 500, i * 300, H - 60});
  for (int i = 1; i <= H / 300 + 1; ++i) pieces.push_back({0, 800, 60, 500, 0, i * 300});
  for (int i = 1; i <= H / 300 + 1; ++i)
    pieces.push_back({SW - 60, 800, 300, 500, W - 60, i * 300});
  pieces.push_back({0, SH - 60, 545, 60, 0, H - 60});
  pieces.push_back({SW - 500, SH - 60, 500, 60, W - 500, H - 60});
  return pieces;
}

Piece NominPiece(int W, int SW) { return {SW - 1200, 0, 400, 545, W - 830, 0}; }

PixelPiece ToPixels(const Piece& p) {
  return {TwipsToPixels(p.srcX),  TwipsToPixels(p.srcY), TwipsToPixels(p.width),
          TwipsToPixels(p.height), TwipsToPixels(p.dstX), TwipsToPixels(p.dstY)};
}

std::optional<std::uint32_t> ParseColorText(const std::string& text) {
  std::string_view s = text;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  int base = 10;
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
    s.remove_prefix(2);
    base = 16;
  }
  bool negative = false;
  if (base == 10 && !s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v > 0xFFFFFFFFull) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(negative ? 0u - static_cast<std::uint32_t>(v) : v);
}

}  // namespace controls::bform

namespace bform = controls::bform;

namespace controls {

namespace {

// Copies the pieces from the sprite onto a DC, each at its own size, clipped by both surfaces.
void PaintPieces(HDC dst, const controls::Picture& sprite,
                 const std::vector<bform::Piece>& pieces) {
  if (!sprite || dst == 0) return;
  const OwnedDc src(CreateCompatibleDC(dst));
  const SelectedObject selected(src.get(), sprite->Handle());
  if (selected.Failed()) return;
  for (const bform::Piece& piece : pieces) {
    const bform::PixelPiece p = bform::ToPixels(piece);
    BitBlt(dst, p.dstX, p.dstY, p.width, p.height, src.get(), p.srcX, p.srcY, SRCCOPY);
  }
}

}  // namespace

BForm::BForm(const controls::UserControlArgs& args) { CreateControl(args); }

BForm::~BForm() { DestroyControl(); }

int BForm::SpriteWidth() const { return m_PP ? m_PP->Width() * kTwipsPerPixel : 0; }
int BForm::SpriteHeight() const { return m_PP ? m_PP->Height() * kTwipsPerPixel : 0; }

// ---- Drawing -----------------------------------------------------------------------------------

void BForm::Redraw() {
  Cls();
  if (m_PP) {
    PaintPieces(hDC(), m_PP, bform::TitleBarPieces(ScaleWidth(), SpriteWidth()));
    Invalidate();
  }
  const RECT box = CaptionBox();
  CurrentX(box.left);
  CurrentY(box.top);
  Print(Caption());
}

RECT BForm::CaptionBox() const {
  const int left = m_HasLogo ? 600 : 150;
  const int height = TextHeight(Caption());
  const int top = bform::CaptionTop(150, bform::kBarHeight, height);
  return {left, top, left + TextWidth(Caption()), top + height};
}

void BForm::Nomin() {
  if (m_PP) {
    PaintPieces(hDC(), m_PP, {bform::NominPiece(ScaleWidth(), SpriteWidth())});
    Invalidate();
  }
  CurrentX(120);
  CurrentY(bform::CaptionTop(100, bform::kBarHeight, TextHeight(Caption())));
  Print(Caption());
}

void BForm::Printform(HWND frm, COLORREF frmBackColor) {
  RECT client;
  if (frm == 0 || !IsWindow(frm) || !GetClientRect(frm, &client)) return;
  const WindowDc dc(frm);
  if (dc.get() == 0) return;
  FillRect(dc.get(), &client, OwnedBrush(CreateSolidBrush(frmBackColor)).get());
  PaintPieces(dc.get(), m_PP,
              bform::BorderPieces(client.Width() * kTwipsPerPixel, client.Height() * kTwipsPerPixel,
                                  SpriteWidth(), SpriteHeight()));
}

// ---- Properties --------------------------------------------------------------------------------

std::string BForm::BackColor() const { return std::to_string(UserControl::BackColor()); }

void BForm::BackColor(const std::string& value) {
  if (const auto color = bform::ParseColorText(value)) UserControl::BackColor(*color);
  Redraw();
  PropertyChanged("BackColor");
}

void BForm::Caption(std::string value) {
  Tag(std::move(value));
  Redraw();
  PropertyChanged("Caption");
}

void BForm::HasLogo(bool value) {
  m_HasLogo = value;
  Redraw();
  PropertyChanged("HasLogo");
}

void BForm::frmHwnd(HWND value) {
  m_frmHwnd = value;
  PropertyChanged("frmHwnd");
}

// ---- Life --------------------------------------------------------------------------------------

void BForm::OnInitialize() {
  m_PP = StdPicture::LoadRes(bform::kSpriteResource);
  // The surface as designed: white caption in a 9 pt bold Song face.
  ForeColor(RGB(255, 255, 255));
  Font(controls::StdFont{"宋体", 9.0, true, false, false});
}

void BForm::OnInitProperties() { OnReadProperties(PropertyBag()); }

void BForm::OnReadProperties(const PropertyBag& bag) {
  if (const auto color =
          bform::ParseColorText(bag.ReadString("BackColor", bform::kDefaultBackColor))) {
    UserControl::BackColor(*color);
  }
  Tag(bag.ReadString("Caption", bform::kDefaultCaption));
  Redraw();
  m_frmHwnd = static_cast<HWND>(bag.ReadInt("frmHwnd", 0));
  m_HasLogo = bag.ReadBool("HasLogo", m_HasLogo);
}

void BForm::OnWriteProperties(PropertyBag& bag) {
  bag.WriteProperty("BackColor", BackColor(), std::string(bform::kDefaultBackColor));
  bag.WriteProperty("Caption", Caption(), std::string(bform::kDefaultCaption));
  Redraw();
  bag.WriteProperty("frmHwnd", static_cast<std::int32_t>(m_frmHwnd), std::int32_t{0});
  bag.WriteProperty("HasLogo", m_HasLogo);
}

void BForm::OnResize() {
  // A change of pixel height comes back here through the window's WM_SIZE first.
  if (Height() != bform::kBarHeight) Height(bform::kBarHeight);
  Redraw();
}

// ---- Mouse -------------------------------------------------------------------------------------

void BForm::OnMouseDown(short& button, short& shift, float& x, float& y) {
  MousePointer(Cursor::Arrow);
  if (button == controls::kLeftButton) {
    // Hand the press to the window manager: it moves frmHwnd with the pointer until release.
    ReleaseCapture();
    POINT pt;
    GetCursorPos(&pt);
    SendMessage(m_frmHwnd, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
    MousePointer(Cursor::Arrow);
  }
  if (MouseDown) MouseDown(button, shift, x, y);
}

void BForm::OnMouseMove(short& button, short& shift, float& x, float& y) {
  MousePointer(Cursor::Arrow);
  if (MouseMove) MouseMove(button, shift, x, y);
}

void BForm::OnDblClick() {
  if (DblClick) DblClick();
}

}  // namespace controls
