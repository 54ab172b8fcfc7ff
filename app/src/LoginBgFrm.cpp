#include "app/LoginBgFrm.h"

#include <algorithm>

#include "app/LoadFrm.h"
#include "app/LoginFrm.h"
#include "common/Settings.h"
#include "platform/window/WindowSubclass.h"

using namespace platform;

namespace {

constexpr int kWidth = 1237;
constexpr int kHeight = 696;

}  // namespace

void SubclassLoginBg(HWND hWnd) {
  SetWindowSubclass(
      hWnd,
      [](HWND h, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
        return LoginBgWndProc(h, uMsg, wParam, lParam);
      },
      kLoginBgHookId, 0);
}

void UnsubclassLoginBg(HWND hWnd) {
  RemoveWindowSubclass(hWnd, kLoginBgHookId);
}

LRESULT LoginBgWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_MOVE && FormSlot<LoginFrm>::IsLoaded()) {
    // The login window keeps its size and takes the background's top-left corner. A login
    // window that is gone is not brought back by a late move.
    RECT bg;
    if (GetWindowRect(hWnd, &bg)) {
      SetWindowPos(FormSlot<LoginFrm>::Get().hWnd(), 0, bg.left, bg.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  return DefSubclassProc(hWnd, uMsg, wParam, lParam);
}

CreateWindowArgs LoginBgFrm::Design() {
  CreateWindowArgs args;
  args.style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX;
  args.title = ClientCaption();
  args.width = kWidth;
  args.height = kHeight;
  // The login window starts at the same point.
  const POINT origin = LoginScreenOrigin(GetWorkArea());
  args.x = origin.x;
  args.y = origin.y;
  return args;
}

namespace {

// One direction of LoginScreenOrigin: the window's size, the span of it that must stay on
// screen, and the work area's start and size.
int Place(int size, int spanStart, int spanEnd, int workStart, int workSize) {
  int at = workStart + (workSize - size) / 2;
  if (size <= workSize) return at;
  // The span's far end inside, then its near end (which wins when the span does not fit).
  at = std::min(at, workStart + workSize - spanEnd);
  return std::max(at, workStart - spanStart);
}

}  // namespace

POINT LoginScreenOrigin(const RECT& work) {
  // The page (415, 179)-(1147, 604) and the pictures (1088, 130)-(1116, 158) (shown beside a
  // main window), (1120, 130)-(1148, 158) and (1152, 125)-(1186, 159) of the login window, which
  // lies over the background.
  return POINT{Place(kWidth, 415, 1186, work.left, work.Width()),
               Place(kHeight, 125, 604, work.top, work.Height())};
}

void LoginBgFrm::Form_Load() {
  SetWindowLongPtr(hWnd(), GWL_STYLE,
                   GetWindowLongPtr(hWnd(), GWL_STYLE) & static_cast<LONG_PTR>(0xFF3BFFFF));
  OpenPngLayer(hWnd(), 101, m_Layer);
  SubclassLoginBg(hWnd());
  SetWindowText(hWnd(), ClientCaption());
}

void LoginBgFrm::Form_Unload(bool& /*cancel*/) {
  ClosePngLayer(m_Layer);
  UnsubclassLoginBg(hWnd());
  FormSlot<LoginFrm>::Unload();
  // However the login screen ends (the page's own commands may come before it has shown the
  // login screen, from its load event), the splash goes with it.
  if (FormSlot<LoadFrm>::IsLoaded()) FormSlot<LoadFrm>::Unload();
}

LRESULT LoginBgFrm::FormProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_LBUTTONDOWN) {
    // Dragged by its opaque parts: the transparent ones take no input at all.
    ReleaseCapture();
    SendMessage(hWnd(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
    return 0;
  }
  return Form::FormProc(msg, wParam, lParam);
}
