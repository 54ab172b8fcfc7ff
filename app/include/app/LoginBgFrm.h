#pragma once

#include "app/PngLayer.h"
#include "platform/window/Form.h"

// The login background: the visible body of the login screen. It shows the decorated frame with
// per-pixel transparency, carries the client's taskbar button, is dragged by its opaque parts
// and drags the login window (which lies exactly over it) along.
class LoginBgFrm : public platform::Form {
 protected:
  platform::CreateWindowArgs Design() override;
  void Form_Load() override;
  void Form_Unload(bool& cancel) override;
  platform::LRESULT FormProc(platform::UINT msg, platform::WPARAM wParam,
                             platform::LPARAM lParam) override;

 private:
  PngLayer m_Layer;
};

// Where the login screen (1237 x 696) goes in the work area: centred when it fits. On a smaller
// work area, along each direction that does not fit, it is moved from the centre just far
// enough to keep the page and the two small pictures above it (the span from (415, 125) to
// (1186, 604) of the screen) inside the work area, so the figure on the left and the soft edges
// go off screen first. When even that span does not fit, its top-left corner (the page's left
// edge, the pictures' top) is at the work area's top-left and the rest runs off to the right
// or bottom; the login screen can still be dragged by its frame.
platform::POINT LoginScreenOrigin(const platform::RECT& work);

// The hook that keeps the login window on the background: a link of the background's hook chain
// with a fixed id, so only one window (the background) is ever hooked this way. LoginBgWndProc
// passes every message on down the chain.
inline constexpr platform::UINT_PTR kLoginBgHookId = 0x4C42;
void SubclassLoginBg(platform::HWND hWnd);
void UnsubclassLoginBg(platform::HWND hWnd);
platform::LRESULT LoginBgWndProc(platform::HWND hWnd, platform::UINT uMsg, platform::WPARAM wParam,
                                 platform::LPARAM lParam);
