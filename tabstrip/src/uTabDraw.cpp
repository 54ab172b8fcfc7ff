// The strip's pixels: skins, fonts, the three off-screen buffers and the order in which
// background, tabs, captions and close glyphs are painted. Everything is composed off screen;
// the window only ever receives the finished frame buffer.

#include <algorithm>
#include <string>

#include "platform/window/WindowDc.h"
#include "tabstrip/TabErrors.h"
#include "tabstrip/TabLayout.h"
#include "tabstrip/mdlTabAPI.h"
#include "tabstrip/uTab.h"

using namespace platform;

namespace {

constexpr int kSkin0Resource = 106;
constexpr int kSkin1Resource = 107;
// The skins' transparent colour.
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kCaptionColor = RGB(0, 0, 0);
constexpr COLORREF kSelectedCaptionColor = RGB(4, 96, 163);
constexpr COLORREF kSpeakerColor = RGB(64, 64, 64);
constexpr COLORREF kMutedColor = RGB(208, 32, 32);
// Rows of the background column in each skin.
constexpr int kSkin0Rows = 25;
constexpr int kSkin1Rows = 28;

[[noreturn]] void RaiseCallFailed(const char* call) {
  throw TabError(0, std::string(call) + "调用失败");
}

}  // namespace

namespace mdlTabAPI {

HDC CreateMemDC(int width, int height) {
  const WindowDc screen(0);
  if (screen.get() == 0) RaiseCallFailed("GetDC");
  OwnedBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
  if (!bitmap) RaiseCallFailed("CreateCompatibleBitmap");
  const HDC dc = CreateCompatibleDC(screen.get());
  if (dc == 0) RaiseCallFailed("CreateCompatibleDC");
  // The DC keeps the bitmap until FreeMemDC.
  SelectObject(dc, bitmap.Release());
  return dc;
}

HDC CreateBitmapDC(HBITMAP bitmap) {
  const WindowDc screen(0);
  if (screen.get() == 0) RaiseCallFailed("GetDC");
  const HDC dc = CreateCompatibleDC(screen.get());
  if (dc == 0) RaiseCallFailed("CreateCompatibleDC");
  SelectObject(dc, bitmap);
  return dc;
}

int FreeMemDC(HDC hdc) {
  const HGDIOBJ bitmap = GetCurrentObject(hdc, OBJ_BITMAP);
  DeleteDC(hdc);
  if (bitmap != 0) DeleteObject(bitmap);
  return 1;
}

HDC StretchSkinRect(HDC src, int srcX, int srcY, int srcWidth, int srcHeight, int width,
                    int height, int left, int top, int right, int bottom) {
  if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return 0;
  // A destination turned inside out (a tab squeezed below nothing) has no pixels to fill; a
  // work buffer of that size cannot even be made.
  if (width < 0 || height < 0) return 0;
  const HDC work = CreateMemDC(width, height);
  SetStretchBltMode(work, HALFTONE);
  const int w = width;
  const int h = height;
  const int sx = srcX;
  const int sy = srcY;
  const int sw = srcWidth;
  const int sh = srcHeight;
  const int L = left;
  const int T = top;
  const int R = right;
  const int B = bottom;
  if (L <= 0 && T <= 0 && R <= 0 && B <= 0) {
    StretchBlt(work, 0, 0, w, h, src, sx + L, sy + T, sw - R, sh - B, SRCCOPY);
  } else {
    if (L > 0 && T > 0) BitBlt(work, 0, 0, L, T, src, sx, sy, SRCCOPY);
    if (R > 0 && T > 0) BitBlt(work, w - R, 0, R, T, src, sx + sw - R, sy, SRCCOPY);
    if (L > 0 && B > 0) BitBlt(work, 0, h - B, L, B, src, sx, sy + sh - B, SRCCOPY);
    if (R > 0 && B > 0) BitBlt(work, w - R, h - B, R, B, src, sx + sw - R, sy + sh - B, SRCCOPY);
    if (L > 0) StretchBlt(work, 0, T, L, h - T - B, src, sx, sy + T, L, sh - T - B, SRCCOPY);
    if (R > 0) {
      StretchBlt(work, w - R, T, R, h - T - B, src, sx + sw - R, sy + T, R, sh - T - B, SRCCOPY);
    }
    if (T > 0) StretchBlt(work, L, 0, w - L - R, T, src, sx + L, sy, sw - L - R, T, SRCCOPY);
    if (B > 0) {
      StretchBlt(work, L, h - B, w - L - R, B, src, sx + L, sy + sh - B, sw - L - R, B, SRCCOPY);
    }
    StretchBlt(work, L, T, w - L - R, h - T - B, src, sx + L, sy + T, sw - L - R, sh - T - B,
               SRCCOPY);
  }
  return work;
}

int DrawSkinRect(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
                 int srcWidth, int srcHeight, int left, int top, int right, int bottom,
                 std::optional<COLORREF> transparent) {
  const HDC work = StretchSkinRect(src, srcX, srcY, srcWidth, srcHeight, width, height, left, top,
                                   right, bottom);
  if (work == 0) return 0;
  int result = 0;
  if (transparent) {
    result = TransBlt(dst, x, y, width, height, work, 0, 0, *transparent);
  } else {
    result = BitBlt(dst, x, y, width, height, work, 0, 0, SRCCOPY) ? 1 : 0;
  }
  FreeMemDC(work);
  return result;
}

int TransBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY,
             COLORREF color) {
  return TransparentBlt(dst, x, y, width, height, src, srcX, srcY, width, height, color) ? 1 : 0;
}

int DrawTextBox(HDC hdc, const std::string& text, int count, int x, int y, int width, int height,
                unsigned format) {
  RECT box{x, y, x + width, y + height};
  return DrawText(hdc, text, count, &box, format);
}

}  // namespace mdlTabAPI

using namespace mdlTabAPI;

// ---- Creation and end -------------------------------------------------------------------------

void uTab::LoadSkinsAndFonts() {
  m_Skin0 = CreateBitmapDC(LoadBitmapResource(kSkin0Resource));
  m_Skin1 = CreateBitmapDC(LoadBitmapResource(kSkin1Resource));
  LOGFONT font;
  GetObject(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), &font);
  // The stock font grows with the desktop's text scale. The tab pieces are art of a fixed
  // height: at a scale so large that a caption's line would be taller than a piece, the
  // captions stop growing where their bold line still fits.
  const int pieceHeight = std::min(tablayout::kStyle0.pieceHeight, tablayout::kStyle1.pieceHeight);
  font.lfWeight = FW_BOLD;
  while (font.lfHeight < -1) {
    const OwnedDc probe(CreateCompatibleDC(0));
    const OwnedFont bold(CreateFontIndirect(font));
    const SelectedObject selected(probe.get(), bold.get());
    SIZE line{};
    if (!GetTextExtentPoint32(probe.get(), "天域Ag", &line) || line.cy <= pieceHeight) break;
    ++font.lfHeight;
  }
  font.lfWeight = FW_THIN;
  m_NormalFont.Reset(CreateFontIndirect(font));
  font.lfWeight = FW_BOLD;
  m_BoldFont.Reset(CreateFontIndirect(font));
}

void uTab::FreeDrawingObjects() {
  FreeSkinPieces();
  if (m_Skin0 != 0) FreeMemDC(m_Skin0);
  if (m_Skin1 != 0) FreeMemDC(m_Skin1);
  m_Skin0 = m_Skin1 = 0;
  m_NormalFont.Reset();
  m_BoldFont.Reset();
}

// ---- Buffers ----------------------------------------------------------------------------------

void uTab::FreeBuffers() {
  FreeSkinPieces();
  for (HDC* buffer : {&m_FrameBuffer, &m_BackBuffer, &m_TabBuffer}) {
    if (*buffer != 0) FreeMemDC(*buffer);
    *buffer = 0;
  }
}

void uTab::CreateBuffers() {
  FreeBuffers();
  const int W = ClientWidth();
  const int H = tablayout::Metrics(m_TabStyle).stripHeight;
  // Before the window's first layout the strip may be narrower than its two ends: its tab area
  // is then empty, not of a negative width no bitmap can have.
  const int TA = std::max(0, W - m_TabLeftSize - m_TabRightSize);
  m_FrameBuffer = CreateMemDC(W, H);
  m_BackBuffer = CreateMemDC(W, H);
  m_TabBuffer = CreateMemDC(TA, H);
}

// ---- Drawing ----------------------------------------------------------------------------------

void uTab::RedrawAll(bool bUpdate) {
  const std::shared_ptr<bool> alive = m_alive;
  DrawBackground();
  if (!*alive) return;  // the background's handler ended the strip
  DrawTabs(bUpdate);
}

void uTab::DrawBackground() {
  if (!m_RedrawEnabled) return;
  const int W = ClientWidth();
  const int H = tablayout::Metrics(m_TabStyle).stripHeight;
  bool skip = false;
  if (!Raise(OnDrawBackground, m_BackBuffer, W, H, skip)) return;
  if (skip) return;
  if (m_TabStyle == 0) {
    StretchBlt(m_BackBuffer, 0, 0, W, H, m_Skin0, 0, 0, 1, kSkin0Rows, SRCCOPY);
  } else {
    StretchBlt(m_BackBuffer, 0, 0, W, H, m_Skin1, 0, 0, 1, kSkin1Rows, SRCCOPY);
  }
}

void uTab::DrawTabs(bool bUpdate) {
  if (!m_RedrawEnabled) return;
  const int W = ClientWidth();
  const int H = tablayout::Metrics(m_TabStyle).stripHeight;
  const int TA = W - m_TabLeftSize - m_TabRightSize;

  SetBkMode(m_TabBuffer, TRANSPARENT);
  SelectObject(m_TabBuffer, m_NormalFont.get());
  SetTextColor(m_TabBuffer, kCaptionColor);
  BitBlt(m_TabBuffer, 0, 0, TA, H, m_BackBuffer, m_TabLeftSize, 0, SRCCOPY);

  // Right to left, so that each tab's left end lies under the tab to its left.
  const std::int32_t count = m_TabItems->Count();
  for (std::int32_t i = count - 1; i >= 0; --i) {
    if (i != m_Selected) DrawOneTab(i, false);
  }
  SelectObject(m_TabBuffer, m_BoldFont.get());
  SetTextColor(m_TabBuffer, kSelectedCaptionColor);
  if (m_Selected >= 0 && m_Selected < count) DrawOneTab(m_Selected, true);

  BitBlt(m_FrameBuffer, 0, 0, W, H, m_BackBuffer, 0, 0, SRCCOPY);
  BitBlt(m_FrameBuffer, m_TabLeftSize, 0, TA, H, m_TabBuffer, 0, 0, SRCCOPY);
  DrawFocusMark();
  Describe();

  if (bUpdate) {
    const WindowDc screen(m_hWnd);
    BitBlt(screen.get(), 0, 0, W, H, m_FrameBuffer, 0, 0, SRCCOPY);
  }
}

void uTab::DrawOneTab(std::int32_t index, bool selected) {
  const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(index));
  if (!item) return;
  const tablayout::StyleMetrics& m = tablayout::Metrics(m_TabStyle);
  const HDC skin = m_TabStyle == 0 ? m_Skin0 : m_Skin1;
  const tablayout::TabPaint p =
      tablayout::PaintTab(m_TabStyle, item->Left(), item->Width(), item->HideButton(), selected,
                          index == m_HoverIndex, m_CloseState);
  // DrawSkinRect, its stretched piece kept for the next tabs and frames.
  if (const HDC piece = SkinPiece(skin, p.pieceSrcX, m.pieceWidth, m.pieceHeight, p.piece.w,
                                  p.piece.h)) {
    TransBlt(m_TabBuffer, p.piece.x, p.piece.y, p.piece.w, p.piece.h, piece, 0, 0, kMagenta);
  }
  tablayout::Box caption = p.caption;
  // The account's mark stands before the caption, the speaker beside the close box.
  const int session =
      DrawSessionMark(m_TabBuffer, item->SessionMark(), caption.x, caption.y, caption.h);
  caption.x += session;
  caption.w -= session;
  if (ShowsSoundMark(*item)) {
    const tablayout::Box mark =
        tablayout::SoundMarkBox(m_TabStyle, item->Left(), item->Width(), item->HideButton());
    caption = tablayout::CaptionBesideMark(caption, mark);
    DrawSoundMark(*item, mark, item->Form()->Muted());
  }
  DrawCaption(m_TabBuffer, item->Caption(), caption.x, caption.y, caption.w, caption.h);
  if (p.glyph) {
    TransBlt(m_TabBuffer, p.glyphBox.x, p.glyphBox.y, p.glyphBox.w, p.glyphBox.h, skin,
             p.glyphSrcX, 0, kMagenta);
  }
}

void uTab::DrawSoundMark(const CTabItem&, const tablayout::Box& mark, bool muted) {
  // A speaker of filled rows: the box, the cone widening to the right, then two sound waves,
  // or a red cross where the waves would be when the page is muted.
  const HBRUSH ink = CreateSolidBrush(kSpeakerColor);
  const auto fill = [&](int x, int y, int w, int h, HBRUSH brush) {
    const RECT r{mark.x + x, mark.y + y, mark.x + x + w, mark.y + y + h};
    FillRect(m_TabBuffer, &r, brush);
  };
  fill(0, 4, 3, 4, ink);
  for (int i = 0; i < 4; ++i) fill(3 + i, 3 - i, 1, 6 + 2 * i, ink);
  if (muted) {
    const HBRUSH red = CreateSolidBrush(kMutedColor);
    for (int i = 0; i < 4; ++i) {
      fill(8 + i, 4 + i, 1, 1, red);
      fill(11 - i, 4 + i, 1, 1, red);
    }
    DeleteObject(red);
  } else {
    fill(8, 4, 1, 4, ink);
    fill(10, 2, 1, 8, ink);
  }
  DeleteObject(ink);
}

HDC uTab::SkinPiece(HDC skin, int srcX, int srcWidth, int srcHeight, int width, int height) {
  for (const SkinPieceEntry& e : m_SkinPieces) {
    if (e.skin == skin && e.srcX == srcX && e.srcWidth == srcWidth && e.srcHeight == srcHeight &&
        e.width == width && e.height == height) {
      return e.dc;
    }
  }
  const HDC dc = StretchSkinRect(skin, srcX, 0, srcWidth, srcHeight, width, height,
                                 tablayout::kTabEdge, 0, tablayout::kTabEdge, 0);
  if (dc == 0) return 0;
  // Three pieces per width; a few widths at a time (the shared width and a locked tab's).
  constexpr std::size_t kMaxPieces = 12;
  if (m_SkinPieces.size() >= kMaxPieces) FreeSkinPieces();
  m_SkinPieces.push_back({skin, srcX, srcWidth, srcHeight, width, height, dc});
  return dc;
}

void uTab::FreeSkinPieces() {
  for (const SkinPieceEntry& e : m_SkinPieces) FreeMemDC(e.dc);
  m_SkinPieces.clear();
}

void uTab::DrawCaption(HDC hdc, const std::string& text, int x, int y, int w, int h) {
  SIZE size;
  GetTextExtentPoint32(hdc, text, &size);
  if (size.cx <= w) {
    DrawTextBox(hdc, text, -1, x, y, w, h, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  } else {
    const auto top = static_cast<int>(RoundHalfEven((h - size.cy) / 2.0 + y));
    DrawTextBox(hdc, text, -1, x, top, w, h, DT_END_ELLIPSIS);
  }
}

void uTab::Paint() {
  const PaintDc paint(m_hWnd);
  const int W = ClientWidth();
  const int H = tablayout::Metrics(m_TabStyle).stripHeight;
  BitBlt(paint.get(), 0, 0, W, H, m_FrameBuffer, 0, 0, SRCCOPY);
}
