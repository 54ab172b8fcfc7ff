#include "mainwin/MsgFrm.h"

#include <algorithm>
#include <string>

#include "common/Settings.h"
#include "controls/PropertyBag.h"
#include "mainwin/WebMainFrm.h"
#include "platform/gdi/Gdi.h"
#include "platform/window/Accessible.h"
#include "platform/window/WindowDc.h"

using namespace platform;
using controls::BForm;
using controls::iButton;
using controls::PropertyBag;
using controls::StdPicture;
using controls::UserControlArgs;

namespace {

constexpr COLORREF kTitleBack = RGB(222, 222, 222);
// Unloads the dialog after the click that answered has been handled (the buttons go with it).
constexpr UINT kUnloadLater = WM_APP + 1;

// A static text control: the text on the parent's back colour, one line, left-aligned.
HWND CreateLabel(HWND parent, int x, int y, int w, int h, std::string text) {
  CreateWindowArgs a;
  a.style = WS_CHILD | WS_VISIBLE;
  a.parent = parent;
  a.x = x;
  a.y = y;
  a.width = w;
  a.height = h;
  a.title = text;
  a.backColor = RGB(255, 255, 255);
  a.proc = [text = std::move(text)](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (msg == WM_PAINT) {
      const PaintDc paint(hwnd);
      if (const HDC dc = paint.get(); dc != 0) {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, OwnedBrush(CreateSolidBrush(RGB(255, 255, 255))).get());
        const SelectedObject font(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        DrawText(dc, text, -1, &r, DT_LEFT | DT_NOPREFIX);
      }
      return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
  };
  return CreateWindowEx(a);
}

// What the texts need beyond the design (a 209 x 41 box for the question, answer buttons 25
// pixels high), pixels: nothing at the design's text size; at a desktop text scale the dialog
// grows by it, so that the question is not cut.
struct Growth {
  int width = 0, labelHeight = 0, buttonHeight = 25;
  int Height() const { return labelHeight + buttonHeight - 25; }
};
Growth TextGrowth() {
  const OwnedDc dc(CreateCompatibleDC(0));
  const SelectedObject font(dc.get(), GetStockObject(DEFAULT_GUI_FONT));
  SIZE question{};
  SIZE answer{};
  GetTextExtentPoint32(dc.get(), MsgFrm::kQuestion, &question);
  GetTextExtentPoint32(dc.get(), "是否", &answer);
  Growth g;
  g.width = std::max(0, static_cast<int>(question.cx) - 209);
  g.labelHeight = std::max(0, static_cast<int>(question.cy) - 41);
  g.buttonHeight = std::max(25, static_cast<int>(answer.cy) + 4);
  return g;
}

std::unique_ptr<iButton> AnswerButton(HWND parent, int x, int y, int height, const char* caption,
                                      int picture, COLORREF fore) {
  PropertyBag design;
  design.WriteProperty("BackPicture", StdPicture::LoadRes(picture));
  design.WriteProperty("Caption", std::string(caption));
  design.WriteProperty("cForeColor", static_cast<std::int32_t>(fore));
  UserControlArgs a;
  a.parent = parent;
  a.left = PixelsToTwips(x);
  a.top = PixelsToTwips(y);
  a.width = PixelsToTwips(65);
  a.height = PixelsToTwips(height);
  a.properties = &design;
  return std::make_unique<iButton>(a);
}

}  // namespace

MsgFrm::MsgFrm() = default;
MsgFrm::~MsgFrm() = default;

CreateWindowArgs MsgFrm::Design() {
  CreateWindowArgs args;
  args.style = WS_POPUP;
  args.title = "提示";
  const Growth g = TextGrowth();
  args.width = kWidth + g.width;
  args.height = kHeight + g.Height();
  args.x = (GetSystemMetrics(SM_CXSCREEN) - args.width) / 2;
  args.y = (GetSystemMetrics(SM_CYSCREEN) - args.height) / 2;
  args.backColor = RGB(255, 255, 255);
  return args;
}

void MsgFrm::Form_Load() {
  const std::string caption = std::string(ClientTitle) + "客户端";
  const Growth g = TextGrowth();
  const int width = kWidth + g.width;
  {
    PropertyBag design;
    design.WriteProperty("BackColor", std::to_string(kTitleBack));
    design.WriteProperty("Caption", caption);
    design.WriteProperty("HasLogo", false);
    UserControlArgs a;
    a.parent = hWnd();
    a.width = PixelsToTwips(width);
    a.height = PixelsToTwips(33);
    a.properties = &design;
    m_BForm1 = std::make_unique<BForm>(a);
  }
  {
    UserControlArgs a;
    a.parent = hWnd();
    a.left = PixelsToTwips(width) - 730;
    a.top = PixelsToTwips(1);
    a.width = PixelsToTwips(43);
    a.height = PixelsToTwips(18);
    m_closebtn = std::make_unique<iButton>(a);
  }
  m_Label1 = CreateLabel(hWnd(), 24, 56, 209 + g.width, 41 + g.labelHeight, kQuestion);
  const int buttonTop = 88 + g.labelHeight;
  m_iButton1 = AnswerButton(hWnd(), 56 + g.width / 2, buttonTop, g.buttonHeight, "是", 109,
                            RGB(255, 255, 255));
  m_iButton2 = AnswerButton(hWnd(), 136 + g.width / 2, buttonTop, g.buttonHeight, "否", 110,
                            RGB(0x1F, 0x3A, 0x6E));

  // Any button drags the dialog by its title bar, as long as it is held.
  m_BForm1->MouseDown = [this](short&, short&, float&, float&) {
    ReleaseCapture();
    POINT pt;
    GetCursorPos(&pt);
    SendMessage(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
  };
  m_iButton1->Click = [this] { Answer(true); };
  m_iButton2->Click = [this] { Answer(false); };
  m_closebtn->Click = [this] { Answer(false); };

  // The keys of the client's message boxes: the question takes the focus on 是, Tab and the
  // arrows move between 是 and 否 (the close button is for the pointer), Enter or Space answers
  // with the focused button and Escape answers 否.
  m_closebtn->TabStop(false);
  const auto escape = [this](short& keyCode, short&) {
    if (keyCode != VK_ESCAPE) return;
    keyCode = 0;
    Answer(false);
  };
  m_iButton1->KeyDown = escape;
  m_iButton2->KeyDown = escape;
  SetFocus(m_iButton1->hWnd());
  // To a screen reader: an alert that says its question, the buttons 是 and 否 inside.
  AccessibleInfo alert;
  alert.role = AccessibleRole::Alert;
  alert.description = kQuestion;
  SetAccessible(hWnd(), alert);
  AccessibleInfo label;
  label.role = AccessibleRole::Label;
  label.focusable = false;
  SetAccessible(m_Label1, label);
  m_closebtn->AccessibleName("关闭");

  // The load step proper.
  m_BForm1->Width(PixelsToTwips(width));
  m_closebtn->BackPicture(StdPicture::LoadRes(103));
  m_BForm1->Caption(caption);
  Form_Resize();
}

void MsgFrm::Form_Unload(bool& /*cancel*/) {
  // The controls go before the window that holds them.
  m_iButton1.reset();
  m_iButton2.reset();
  m_closebtn.reset();
  m_BForm1.reset();
}

void MsgFrm::Answer(bool exit) {
  if (FormSlot<WebMainFrm>::IsLoaded()) FormSlot<WebMainFrm>::Get().m_bExit = exit;
  PostMessage(hWnd(), kUnloadLater, 0, 0);
}

void MsgFrm::Form_Resize() {
  RECT client;
  if (!GetClientRect(hWnd(), &client)) return;
  const int w = client.Width();
  const int h = client.Height();
  WebMainFrm::RectRgn(hWnd(), static_cast<std::int16_t>(w + 1), static_cast<std::int16_t>(h + 1), 4,
                      4);
  if (m_BForm1) m_BForm1->Printform(hWnd());
  if (m_closebtn) m_closebtn->Left(PixelsToTwips(w) - 730);
}

LRESULT MsgFrm::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE && wParam != SIZE_MINIMIZED) Form_Resize();
  if (msg == kUnloadLater) {
    FormSlot<MsgFrm>::Unload();
    return 0;
  }
  return Form::FormProc(msg, wParam, lParam);
}
