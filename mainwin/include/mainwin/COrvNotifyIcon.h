#pragma once

#include <string>

#include "platform/desktop/Tray.h"
#include "platform/gdi/Icon.h"

// One icon in the notification area on behalf of one window. Clicks reach the window as
// WM_TRAYNOTIFY with the mouse message in lParam. The icon goes when the object goes.
class COrvNotifyIcon {
 public:
  static constexpr platform::UINT kIconId = 1000;
  static constexpr platform::UINT WM_TRAYNOTIFY = 6242;
  // message + icon + tip + balloon
  static constexpr platform::UINT kFlags = 0x17;

  COrvNotifyIcon() = default;
  COrvNotifyIcon(const COrvNotifyIcon&) = delete;
  COrvNotifyIcon& operator=(const COrvNotifyIcon&) = delete;
  ~COrvNotifyIcon();

  bool AddNotifyIcon(platform::HWND hWnd, platform::HICON hIcon, const std::string& strTip);
  // Keeps WM_TRAYNOTIFY as the callback, so a change of icon or tip does not cut the window
  // off from its clicks.
  bool ModifyNotifyIcon(platform::HWND hWnd, platform::HICON hIcon, const std::string& strTip);
  bool ShowBubble(const std::string& strTitle, const std::string& strInfo,
                  platform::DWORD eInfoFlags);
  bool HideBubble();
  bool DeleteNotifyIcon();

  // The record every call hands over.
  const platform::NOTIFYICONDATA& Record() const { return m_nid; }

  // Copies `text` into a field of `size` bytes: cut to size - 1 bytes at a character boundary,
  // then a NUL, then blanks up to the end of the field.
  static void SetField(char* field, std::size_t size, const std::string& text);

 private:
  void Fill(platform::HWND hWnd, platform::HICON hIcon, const std::string& strTip);
  platform::NOTIFYICONDATA m_nid;
};
