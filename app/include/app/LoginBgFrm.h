#pragma once

#include "common/PngLayer.h"
#include "platform/Form.h"

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

// The hook that keeps the login window on the background: a link of the background's hook chain
// with a fixed id, so only one window (the background) is ever hooked this way. LoginBgWndProc
// passes every message on down the chain.
inline constexpr platform::UINT_PTR kLoginBgHookId = 0x4C42;
void SubclassLoginBg(platform::HWND hWnd);
void UnsubclassLoginBg(platform::HWND hWnd);
platform::LRESULT LoginBgWndProc(platform::HWND hWnd, platform::UINT uMsg, platform::WPARAM wParam,
                                 platform::LPARAM lParam);
