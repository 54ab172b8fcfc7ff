#include "mainwin/WebMainFrm.h"

#include <algorithm>
#include <tuple>

#include "MainWinLog.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "controls/PropertyBag.h"
#include "mainwin/DdeLink.h"
#include "mainwin/MainHook.h"
#include "mainwin/MsgFrm.h"
#include "mainwin/SiteZoom.h"
#include "mainwin/WebUrl.h"
#include "platform/desktop/PopupMenu.h"
#include "platform/desktop/ToolTip.h"
#include "platform/gdi/Gdi.h"
#include "platform/webhost/WebBrowserHost.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/WindowDc.h"

using namespace platform;
using controls::BForm;
using controls::iButton;
using controls::PropertyBag;
using controls::StdPicture;
using controls::UserControlArgs;

namespace {

// The window's controls as designed (twips).
constexpr int kFrameHeight = 495;
constexpr int kButtonTop = 15;
constexpr std::size_t kMaxInitialCaption = 1024;  // bytes
// Runs the close command after the message that asked for it: a button's click must not unload
// the window (and with it the button) while the button is still handling that click.
constexpr UINT kCloseLater = WM_APP + 1;
// Closes the selected tab after the key that asked for it has been handled.
constexpr UINT kCloseTabLater = WM_APP + 2;

HWND CreateBox(HWND parent, WindowProcFn proc, std::uint32_t back = RGB(255, 255, 255)) {
  CreateWindowArgs a;
  a.style = WS_CHILD | WS_VISIBLE;
  a.parent = parent;
  a.width = 1;
  a.height = 1;
  a.backColor = back;
  a.proc = std::move(proc);
  return CreateWindowEx(a);
}

// The arrow over a picture box, whatever shape the border handling left behind: on every move
// and on a press of any button.
LRESULT ArrowBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN ||
      msg == WM_MOUSEMOVE) {
    SetWindowCursor(hwnd, Cursor::Arrow);
  }
  return DefWindowProc(hwnd, msg, wParam, lParam);
}

std::unique_ptr<iButton> MakeButton(HWND parent, int left, int top, int width, int height,
                                    PropertyBag design = {}) {
  UserControlArgs a;
  a.parent = parent;
  a.left = left;
  a.top = top;
  a.width = width;
  a.height = height;
  a.properties = &design;
  return std::make_unique<iButton>(a);
}

// The portal buttons' designed height and the least room either side of their captions, twips.
constexpr int kPortalButtonHeight = 330;
constexpr int kPortalCaptionMargin = 120;

// A caption button hanging from the title band's top: its picture continues the bar, the
// caption is white.
std::unique_ptr<iButton> MakePortalButton(HWND parent, int width, const char* caption,
                                          int picture) {
  PropertyBag design;
  design.WriteProperty("BackPicture", StdPicture::LoadRes(picture));
  design.WriteProperty("Caption", std::string(caption));
  design.WriteProperty("cForeColor", static_cast<std::int32_t>(RGB(255, 255, 255)));
  return MakeButton(parent, 0, 0, width, kPortalButtonHeight, std::move(design));
}

// What a new tab reads until its page's title replaces it: the host the game comes from, which
// a player recognises, rather than the tab's key. An address without a host is shown as it is,
// but only its start: laying out a caption of a megabyte would hold the window up for seconds.
std::string InitialCaption(const std::string& url) {
  std::string host = sitezoom::SiteOf(url);
  if (!host.empty()) return host;
  return url.substr(0, gdi::Utf8Floor(url, kMaxInitialCaption));
}

template <class Fn>
void Step(const char* what, Fn&& fn) {
  // Each layout step on its own: one failing control does not keep the others in place.
  try {
    fn();
  } catch (const std::exception& e) {
    kMainWinLog.Event(std::string("layout, ") + what + ": " + e.what());
  }
}

}  // namespace

WebMainFrm::WebMainFrm() = default;

WebMainFrm::~WebMainFrm() {
  *m_alive = false;
}

CreateWindowArgs WebMainFrm::Design() {
  CreateWindowArgs args;
  args.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  args.title = ClientCaption();
  args.width = TwipsToPixels(mainlayout::kDesignWidth);
  args.height = TwipsToPixels(mainlayout::kDesignHeight);
  args.backColor = RGB(255, 255, 255);
  return args;
}

void WebMainFrm::CreateControls() {
  const HWND me = hWnd();
  {
    PropertyBag design;
    design.WriteProperty("Caption", std::string(ClientTitle));
    // The logo is a picture box of its own at the bar's left end; the caption starts after it.
    design.WriteProperty("HasLogo", true);
    UserControlArgs a;
    a.parent = me;
    a.width = PixelsToTwips(TwipsToPixels(mainlayout::kDesignWidth));
    a.height = kFrameHeight;
    a.properties = &design;
    m_WebBForm = std::make_unique<BForm>(a);
  }
  m_PicLogo = CreateBox(me, [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (msg == WM_PAINT) {
      const PaintDc paint(hwnd);
      if (const HDC dc = paint.get(); dc != 0) {
        if (const OwnedBitmap logo(LoadBitmapResource(105)); logo) {
          const OwnedDc mem(CreateCompatibleDC(dc));
          const SelectedObject selected(mem.get(), logo.get());
          SIZE size;
          GetBitmapSize(logo.get(), &size);
          BitBlt(dc, 0, 0, size.cx, size.cy, mem.get(), 0, 0, SRCCOPY);
        }
      }
      return 0;
    }
    return ArrowBoxProc(hwnd, msg, wParam, lParam);
  });
  MoveWindow(m_PicLogo, TwipsToPixels(100), TwipsToPixels(30), TwipsToPixels(440),
             TwipsToPixels(440), false);
  {
    PropertyBag design;
    design.WriteProperty("TabStyle", std::int32_t{1});
    design.WriteProperty("TabLeftSize", std::int32_t{10});
    // The strip reaches 250 twips under OtherUserBtn: a right margin of that much keeps the
    // last tab and its close box clear of the button.
    design.WriteProperty("TabRightSize", std::int32_t{17});
    uTabCreateArgs a;
    a.parent = me;
    a.x = TwipsToPixels(2300);
    a.y = TwipsToPixels(45);
    a.width = 1;
    a.properties = &design;
    m_WebuTab = std::make_unique<uTab>(a);
  }
  m_OtherUserBtn = MakePortalButton(me, 1485, "其他账号登录", 111);
  m_GameSpaceBtn = MakePortalButton(me, 1215, "游戏官网", 112);
  m_web_tool = MakeButton(me, 0, kButtonTop, 360, 270);
  m_web_min = MakeButton(me, 0, kButtonTop, 360, 270);
  {
    PropertyBag design;
    design.WriteProperty("Style", std::int32_t{1});
    m_web_minmax = MakeButton(me, 0, kButtonTop, 375, 270, std::move(design));
  }
  m_web_close = MakeButton(me, 0, kButtonTop, 645, 270);
  // The title buttons show pictures only: assistive technology hears their names.
  m_web_tool->AccessibleName("菜单");
  m_web_min->AccessibleName("最小化");
  m_web_minmax->AccessibleName("最大化");  // 还原 while maximised (ShowMaximized)
  m_web_close->AccessibleName("关闭");
  // F6 reaches the title buttons as one stop between the strip and the page.
  const HWND tool = m_web_tool->hWnd();
  SetWindowLongPtr(tool, GWL_STYLE, GetWindowLongPtr(tool, GWL_STYLE) | WS_GROUP);
  m_pCnt = CreateBox(me, ArrowBoxProc);
  m_Picture1 = CreateBox(me, [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (msg == WM_SIZE) Picture1_Resize();
    return DefWindowProc(hwnd, msg, wParam, lParam);
  });
  m_WebBrowser1 = std::make_unique<WebBrowser>();
  m_WebBrowser1Window = HostWebBrowser(*m_WebBrowser1, m_Picture1, -2, -2, 4, 4);

  m_WebBForm->MouseMove = [this](short&, short&, float&, float&) {
    SetWindowCursor(m_WebBForm->hWnd(), Cursor::Arrow);
  };
  m_WebuTab->TabChanged = [this] { WebuTab_TabChanged(); };
  m_WebuTab->OnMouseDown = [this](std::int32_t i, std::int16_t& b, std::int16_t&, float&, float&) {
    WebuTab_OnMouseDown(i, b);
  };
  m_WebuTab->OnMouseHover = [this](std::int32_t i, std::int16_t&, std::int16_t&, float&, float&) {
    WebuTab_OnMouseHover(i);
  };
  m_WebuTab->OnMouseMove = [this](std::int32_t, std::int16_t&, std::int16_t&, float&, float&) {
    SetWindowCursor(m_WebuTab->hWnd(), Cursor::Arrow);
  };
  m_WebuTab->OnItemColose = [this](std::int32_t i, bool& cancel) {
    WebuTab_OnItemColose(i, cancel);
  };
  m_web_close->Click = [this] { PostMessage(hWnd(), kCloseLater, 0, 0); };
  m_web_min->Click = [this] { MinimizeCommand(); };
  m_web_minmax->Click = [this] { MaxRestoreCommand(); };
  m_GameSpaceBtn->Click = [this] { GameSpaceCommand(); };
  m_OtherUserBtn->Click = [this] { OtherUserCommand(); };
  m_web_tool->Click = [this] {
    UpdateMenu();  // the accounts stored now
    PopupMenu(hWnd());
  };
}

void WebMainFrm::Form_Load() {
  CreateControls();
  const HWND me = hWnd();
  // 1. The small icon, from the icon file the login window wrote.
  const std::string iconFile = GetTempDir() + GameId + ".ico";
  m_SmallIcon.Reset(LoadIconFromFile(iconFile, 16));
  SendMessage(me, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(m_SmallIcon.get()));
  // 2. The tray icon with its tip.
  m_NotifyIcon = std::make_unique<COrvNotifyIcon>();
  m_NotifyIcon->AddNotifyIcon(me, m_SmallIcon.get(), ClientCaption());
  // 3. The large icon.
  m_BigIcon.Reset(LoadIconFromFile(iconFile, 32));
  SendMessage(me, WM_SETICON, ICON_BIG, static_cast<LPARAM>(m_BigIcon.get()));
  // 4. The F10 hot key and the tray's clicks.
  StartMainHook(me);
  // The window's keys reach it before the page that has the focus; Ctrl+wheel over a page
  // zooms as Ctrl+plus and Ctrl+minus do.
  SetKeyPreview(me, true);
  WebUrl::ZoomStep = [this](int step) { ZoomCommand(step); };
  // 5. The program menu, with the version in its version item.
  m_VersionCaption = "版本号:" + AppVersion();
  UpdateMenu();
  // 6. Captions.
  m_WebBForm->Caption(ClientTitle);
  SetWindowText(me, ClientCaption());
  // 7. The style object: frameless, resizable by its margins. (The window's surface keeps what
  // is drawn on it, so the frame's borders survive repaints.)
  m_objStyle = std::make_unique<cSetStyle>();
  m_objStyle->CloseClick = [this] { CloseCommand(); };
  m_objStyle->StateChange = [this](bool maximised) { ShowMaximized(maximised); };
  m_objStyle->objForm(this);
  m_objStyle->SetWindowStyle(me);
  // 8. The title bar drags this window.
  m_WebBForm->frmHwnd(me);
  // 9. Centred on the screen.
  RECT r;
  GetWindowRect(me, &r);
  const int left = PixelsToTwips(GetSystemMetrics(SM_CXSCREEN) - r.Width()) / 2;
  const int top = PixelsToTwips(GetSystemMetrics(SM_CYSCREEN) - r.Height()) / 2;
  SetWindowPos(me, 0, TwipsToPixels(left), TwipsToPixels(top), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // 10. Button images.
  m_web_close->BackPicture(StdPicture::LoadRes(103));
  m_web_minmax->BackPicture(StdPicture::LoadRes(102));
  m_web_min->BackPicture(StdPicture::LoadRes(101));
  m_web_minmax->Value(true);
  m_web_tool->BackPicture(StdPicture::LoadRes(104));
  // 11. The pages live in pCnt; drawing on.
  m_WebuTab->hContainerWnd(m_pCnt);
  m_WebuTab->LockReDraw(false);
  // 12. The logo is painted by PicLogo itself.
  InvalidateRect(m_PicLogo, nullptr, true);
  // Addresses handed over by other processes before this window existed become tabs now; the
  // link itself is offered from start-up on.
  OpenWaitingAddresses(*this);
  Form_Resize();
  // 13. Start covering the work area (a screen smaller than the design is covered already).
  if (!m_objStyle->Maximized()) MaxRestoreCommand();
}

void WebMainFrm::Form_QueryUnload(bool& cancel, int /*unloadMode*/) {
  if (m_bExit) return;
  if (m_Asking) {
    // The question on the screen decides; this request goes.
    cancel = true;
    return;
  }
  ++m_ExitQuestions;
  m_Asking = true;
  const std::shared_ptr<bool> alive = m_alive;
  FormSlot<MsgFrm>::Get().ShowModal(hWnd());
  // Each showing loads the question afresh.
  if (FormSlot<MsgFrm>::IsLoaded()) FormSlot<MsgFrm>::Unload();
  if (!*alive) return;
  m_Asking = false;
  if (!m_bExit) cancel = true;
}

void WebMainFrm::Form_Unload(bool& /*cancel*/) {
  WebUrl::ZoomStep = nullptr;
  // From here on the controls go one by one, and each one that goes may make the window lay
  // itself out again: the layout then does nothing.
  m_Unloading = true;
  StopMainHook(hWnd());
  if (m_WebuTab) m_WebuTab->TabItems().Clear();
  m_objStyle.reset();
  // The controls, before the window that holds them.
  m_WebuTab.reset();
  m_WebBrowser1.reset();
  m_web_close.reset();
  m_web_minmax.reset();
  m_web_min.reset();
  m_web_tool.reset();
  m_GameSpaceBtn.reset();
  m_OtherUserBtn.reset();
  m_WebBForm.reset();
}

LRESULT WebMainFrm::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE:
      Form_Resize();
      break;
    case kCloseLater:
      CloseCommand();
      return 0;
    case kCloseTabLater:
      CloseTabCommand();
      return 0;
    case WM_KEYPREVIEW: {
      const MainKeyCommand command = MainKeyFor(wParam, lParam);
      if (command.key == MainKey::CloseTab) {
        // As with the close button: the window may unload, and not inside its own key handling.
        PostMessage(hWnd(), kCloseTabLater, 0, 0);
        return 1;
      }
      return KeyCommand(command) ? 1 : 0;
    }
    case WM_DDE_EXECUTE:
      return DdeExecute(*reinterpret_cast<const std::string*>(lParam)) ? 1 : 0;
    case WM_COMMAND:
      // The program menu also comes from the tray icon, which a modal box (the exit question,
      // a message box) does not block: its command would run beside the box and, with the box
      // answered later, against a state the box was about to change. It is refused; the box
      // comes to the front, which says why.
      if (InModalLoop()) {
        PresentModalWindow();
        return 0;
      }
      switch (LOWORD(wParam)) {
        case mnuRefresh:
          RefreshCommand();
          return 0;
        case mnuHideRestore:
          HideRestoreCommand();
          return 0;
        case mnuClearCache:
          ClearCacheCommand();
          return 0;
        case mnuUpdate:
          UpdateCommand();
          return 0;
        case mnuExit:
          CloseCommand();
          return 0;
        case mnuAnotherAccount:
          AnotherAccountCommand();
          return 0;
        default: {
          // The accounts' items carry the session's number.
          const int session = LOWORD(wParam) % 100;
          if (session > 0 && session < kMaxWebSessions) {
            if (LOWORD(wParam) - session == static_cast<int>(mnuForgetAccount)) {
              ForgetAccountCommand(session);
              return 0;
            }
            if (LOWORD(wParam) - session == static_cast<int>(mnuAccountLogin)) {
              AccountLoginCommand(session);
              return 0;
            }
          }
          break;
        }
      }
      break;
    case WM_SYSCOMMAND:
      // The style object has turned the system close command into CloseClick, which ran the
      // close command with its question; closing again here would ask a second time.
      if ((wParam & 0xFFF0) == SC_CLOSE && m_objStyle) return 0;
      break;
    default:
      break;
  }
  return Form::FormProc(msg, wParam, lParam);
}

void WebMainFrm::SetURL(const std::string& strURL, int session) {
  m_Addresses.push_back(strURL);
  OpenTab(strURL, session);
}

void WebMainFrm::OpenTab(const std::string& url, int session) {
  if (!m_WebuTab) return;
  if (session < 0 || session >= kMaxWebSessions) session = 0;
  // The first account's key is the design's; another account's holds its session after a
  // character no address contains, so each account may open the same address once.
  const std::string key =
      session == 0 ? "Game" + url : "Game" + url + '\x1f' + std::to_string(session);
  CTabItems& items = m_WebuTab->TabItems();
  const std::int32_t found = items.FindItem(Variant(key));
  if (found < 0) {
    std::shared_ptr<WebUrl> page = WebUrl::Create(session);
    page->OpenURL(url);
    items.Add(InitialCaption(url), page, Variant(key));
    // Accounts count from 1; the first one's tabs carry no mark.
    if (session > 0) {
      items.Item(Variant(items.Count() - 1))->SessionMark(session + 1);
      UpdateMenu();
    }
    items.Selected(items.Count() - 1);
  } else {
    items.Selected(found);
  }
  ShowWindow(m_Picture1, SW_HIDE);
}

bool WebMainFrm::DdeExecute(const std::string& command) {
  // Restored when minimised; a window hidden by the hot key stays hidden and shows the new tab
  // when it is brought back.
  if (IsIconic(hWnd()) && IsWindowVisible(hWnd())) ShowWindow(hWnd(), SW_RESTORE);
  OpenTab(command);
  return true;
}

void WebMainFrm::RectRgn(HWND hWnd, std::int16_t Top, std::int16_t Buttom, std::int16_t X,
                         std::int16_t Y) {
  // The callers pass the client size + 1: a rounded region of the desktop the window was
  // designed for leaves out its right column and bottom row, ours keeps them. Taking the pixel
  // back gives the shape the design meant, the window's own size with rounded corners, instead
  // of one a pixel too large, whose lower right corner is never rounded.
  SetWindowRgn(hWnd, CreateRoundRectRgn(0, 0, Top - 1, Buttom - 1, X, Y), true);
}

void WebMainFrm::Form_Resize() {
  const HWND me = hWnd();
  if (me == 0 || IsIconic(me) || m_Unloading || !m_WebBForm || !m_WebuTab || !m_web_close ||
      !m_web_minmax || !m_web_min || !m_web_tool || !m_GameSpaceBtn || !m_OtherUserBtn) {
    return;
  }
  RECT window;
  RECT client;
  GetWindowRect(me, &window);
  GetClientRect(me, &client);
  if (m_FullScreen) {
    // Only the page: its container covers the window, which has no rounded shape now.
    MoveWindow(m_Picture1, 0, 0, client.Width(), client.Height(), true);
    MoveWindow(m_pCnt, 0, 0, client.Width(), client.Height(), true);
    return;
  }
  // At a desktop text scale the caption and the portal buttons' captions need more room.
  mainlayout::TextRoom room;
  room.captionRight = m_WebBForm->CaptionBox().right;
  room.OtherUserBtnWidth = m_OtherUserBtn->CaptionWidth() + 2 * kPortalCaptionMargin;
  room.GameSpaceBtnWidth = m_GameSpaceBtn->CaptionWidth() + 2 * kPortalCaptionMargin;
  const mainlayout::Layout l =
      mainlayout::Compute(PixelsToTwips(window.Width()), PixelsToTwips(client.Width()),
                          PixelsToTwips(client.Height()), mainlayout::kTabHeight, room);
  Step("frame", [&] {
    m_WebBForm->Move(l.WebBForm.left, l.WebBForm.top, l.WebBForm.width, m_WebBForm->Height());
    m_WebBForm->Printform(me);
  });
  Step("shape", [&] {
    RectRgn(me, static_cast<std::int16_t>(l.shapeRight), static_cast<std::int16_t>(l.shapeBottom),
            6, 6);
  });
  Step("title buttons", [&] {
    m_web_close->Left(l.web_close);
    m_web_minmax->Left(l.web_minmax);
    m_web_min->Left(l.web_min);
    m_web_tool->Left(l.web_tool);
  });
  Step("tab strip", [&] {
    SetWindowPos(m_WebuTab->hWnd(), 0, TwipsToPixels(l.WebuTab.left), TwipsToPixels(l.WebuTab.top),
                 TwipsToPixels(l.WebuTab.width), TwipsToPixels(l.WebuTab.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  });
  Step("portal buttons", [&] {
    for (auto [button, left, width] :
         {std::tuple{m_GameSpaceBtn.get(), l.GameSpaceBtn, l.GameSpaceBtnWidth},
          std::tuple{m_OtherUserBtn.get(), l.OtherUserBtn, l.OtherUserBtnWidth}}) {
      const int height = std::max(kPortalButtonHeight, button->CaptionHeight() + 30);
      if (width != button->Width() || height != button->Height()) {
        // Larger than its picture: the picture is stretched over the button.
        button->AutoSize(false);
        button->Move(left, button->Top(), width, height);
      } else {
        button->Left(left);
      }
    }
  });
  auto place = [](HWND h, const mainlayout::Box& b) {
    MoveWindow(h, TwipsToPixels(b.left), TwipsToPixels(b.top), TwipsToPixels(b.width),
               TwipsToPixels(b.height), true);
  };
  Step("placeholder", [&] { place(m_Picture1, l.Picture1); });
  Step("page container", [&] { place(m_pCnt, l.pCnt); });
}

void WebMainFrm::Picture1_Resize() {
  if (m_WebBrowser1Window == 0) return;
  RECT client;
  GetClientRect(m_Picture1, &client);
  // The outer 30 twips on every side lie outside the visible area.
  MoveWindow(m_WebBrowser1Window, TwipsToPixels(-30), TwipsToPixels(-30),
             client.Width() + TwipsToPixels(60), client.Height() + TwipsToPixels(60), true);
}

// The commands behind the buttons and the program menu are in WebMainFrmCommands.cpp.

// ---- Tab strip events -----------------------------------------------------------------------

void WebMainFrm::WebuTab_TabChanged() {
  ShowWindow(m_Picture1, SW_HIDE);
}

void WebMainFrm::WebuTab_OnMouseDown(std::int32_t ItemIndex, std::int16_t& /*Button*/) {
  SetWindowCursor(m_WebuTab->hWnd(), Cursor::Arrow);
  if (!m_web_minmax->Value() && ItemIndex < 0) {
    // The empty part of the strip drags the window, as the title bar does.
    ReleaseCapture();
    POINT pt;
    GetCursorPos(&pt);
    SendMessage(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
  }
}

void WebMainFrm::WebuTab_OnMouseHover(std::int32_t ItemIndex) {
  CTabItems& items = m_WebuTab->TabItems();
  m_TabToolTip.clear();
  if (ItemIndex >= 0 && ItemIndex < items.Count()) {
    const std::shared_ptr<CTabItem> item = items.Item(Variant(ItemIndex));
    m_TabToolTip = item->Caption();
    if (item->SessionMark() > 0) {
      m_TabToolTip += "（账号" + std::to_string(item->SessionMark()) + "）";
    }
  }
  SetToolTipText(m_WebuTab->hWnd(), m_TabToolTip);
}

void WebMainFrm::WebuTab_OnItemColose(std::int32_t /*ItemIndex*/, bool& Cancel) {
  if (!m_Forgetting && m_WebuTab->TabItems().Count() <= 1) {
    // The last tab is never closed on its own: closing it means closing the window.
    Cancel = true;
    CloseCommand();
  }
}
