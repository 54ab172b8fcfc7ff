#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/UserControl.h"

// The skinned frame of a top-level window: a title bar along the top of the host, drawn from
// the frame sprite (bitmap resource 108) with the window's caption, by which the user drags
// the window; and Printform, which paints the matching left, right and bottom borders onto the
// host's own surface. The bar always keeps a height of 500 twips.
//
// All piece positions are twips, taken from the sprite at fixed places; every piece is copied
// at its own size and clipped by the surface it lands on.

namespace controls::bform {

// One copy from the sprite: source rectangle and destination corner, twips.
struct Piece {
  int srcX = 0, srcY = 0, width = 0, height = 0, dstX = 0, dstY = 0;
  friend bool operator==(const Piece&, const Piece&) = default;
};

// The title bar of a surface W twips wide from a sprite SW twips wide, in painting order: the
// middle pieces, then the left end, then the right end (later pieces cover earlier ones).
std::vector<Piece> TitleBarPieces(int W, int SW);
// The borders of a W x H twip surface from a SW x SH sprite, in painting order: bottom edge,
// left edge, right edge, bottom-left corner, bottom-right corner.
std::vector<Piece> BorderPieces(int W, int H, int SW, int SH);
// The plain bar piece that covers the right part of the title bar.
Piece NominPiece(int W, int SW);

// The same copy in pixels, each coordinate rounded to the nearest pixel on its own.
struct PixelPiece {
  int srcX = 0, srcY = 0, width = 0, height = 0, dstX = 0, dstY = 0;
  friend bool operator==(const PixelPiece&, const PixelPiece&) = default;
};
PixelPiece ToPixels(const Piece& p);

// Where a caption line designed at `designTop` twips is printed in a bar `barHeight` twips high:
// there, while the text's height fits below it; centred in the bar when the text is taller (a
// desktop text scale), so that it is not cut.
constexpr int CaptionTop(int designTop, int barHeight, int textHeight) {
  if (designTop + textHeight <= barHeight) return designTop;
  const int centred = (barHeight - textHeight) / 2;
  return centred > 0 ? centred : 0;
}

// Text to colour as the BackColor property converts it: a decimal number (or "&H" hex) taken
// as 32 bits; nothing for text that is no number.
std::optional<std::uint32_t> ParseColorText(const std::string& text);

inline constexpr int kBarHeight = 500;         // twips
inline constexpr int kSpriteResource = 108;
inline constexpr const char* kDefaultBackColor = "14346732";
inline constexpr const char* kDefaultCaption = "NewForm";

}  // namespace controls::bform

namespace controls {

class BForm final : public controls::UserControl {
 public:
  // Events. MinClick is part of the control's interface but nothing raises it.
  std::function<void()> DblClick;
  std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseDown;
  std::function<void(short& Button, short& Shift, float& X, float& Y)> MouseMove;
  std::function<void()> MinClick;

  explicit BForm(const controls::UserControlArgs& args);
  ~BForm() override;

  // The back colour as a decimal number.
  std::string BackColor() const;                 // "BackColor" ["14346732"]
  // Converts the text to a colour, redraws and marks the property changed; text that is no
  // number leaves the colour as it is.
  void BackColor(const std::string& value);
  const std::string& Caption() const { return Tag(); }  // "Caption" ["NewForm"]
  void Caption(std::string value);
  bool HasLogo() const { return m_HasLogo; }     // "HasLogo" [its current value]
  void HasLogo(bool value);
  // The window a left-button drag on the bar moves; 0 for none.
  platform::HWND frmHwnd() const { return m_frmHwnd; }  // "frmHwnd" [0]
  void frmHwnd(platform::HWND value);

  // Where the caption is printed and what it covers, twips from the bar's top left.
  platform::RECT CaptionBox() const;

  // Covers the right part of the title bar with plain bar and prints the caption at (120, 100).
  void Nomin();
  // Clears the host window's surface to `frmBackColor` and paints the left, right and bottom
  // borders on it. Nothing for a window that does not exist.
  void Printform(platform::HWND frm, COLORREF frmBackColor = platform::RGB(255, 255, 255));

  // The frame sprite (PP); nothing when the resource is missing.
  const controls::Picture& Sprite() const { return m_PP; }

 protected:
  void OnInitialize() override;
  void OnInitProperties() override;
  void OnReadProperties(const controls::PropertyBag& bag) override;
  void OnWriteProperties(controls::PropertyBag& bag) override;
  void OnResize() override;
  void OnMouseDown(short& button, short& shift, float& x, float& y) override;
  void OnMouseMove(short& button, short& shift, float& x, float& y) override;
  void OnDblClick() override;

 private:
  void Redraw();
  int SpriteWidth() const;
  int SpriteHeight() const;

  controls::Picture m_PP;
  bool m_HasLogo = false;
  platform::HWND m_frmHwnd = 0;
};

}  // namespace controls
