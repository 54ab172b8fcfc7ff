#include "mainwin/COrvNotifyIcon.h"

#include <cstring>

using namespace platform;

COrvNotifyIcon::~COrvNotifyIcon() {
  DeleteNotifyIcon();
}

void COrvNotifyIcon::SetField(char* field, std::size_t size, const std::string& text) {
  std::size_t n = std::min(text.size(), size - 1);
  // Never end inside a UTF-8 sequence: back up over continuation bytes to the lead byte.
  if (n < text.size()) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
  std::memset(field + n + 1, ' ', size - n - 1);
}

void COrvNotifyIcon::Fill(HWND hWnd, HICON hIcon, const std::string& strTip) {
  m_nid.cbSize = sizeof(NOTIFYICONDATA);
  m_nid.hWnd = hWnd;
  m_nid.uID = kIconId;
  m_nid.uFlags = kFlags;
  m_nid.uCallbackMessage = WM_TRAYNOTIFY;
  m_nid.hIcon = hIcon;
  SetField(m_nid.szTip, sizeof m_nid.szTip, strTip);
}

bool COrvNotifyIcon::AddNotifyIcon(HWND hWnd, HICON hIcon, const std::string& strTip) {
  Fill(hWnd, hIcon, strTip);
  return Shell_NotifyIcon(NIM_ADD, m_nid);
}

bool COrvNotifyIcon::ModifyNotifyIcon(HWND hWnd, HICON hIcon, const std::string& strTip) {
  Fill(hWnd, hIcon, strTip);
  return Shell_NotifyIcon(NIM_MODIFY, m_nid);
}

bool COrvNotifyIcon::ShowBubble(const std::string& strTitle, const std::string& strInfo,
                                DWORD eInfoFlags) {
  SetField(m_nid.szInfoTitle, sizeof m_nid.szInfoTitle, strTitle);
  SetField(m_nid.szInfo, sizeof m_nid.szInfo, strInfo);
  m_nid.dwInfoFlags = eInfoFlags;
  return Shell_NotifyIcon(NIM_MODIFY, m_nid);
}

bool COrvNotifyIcon::HideBubble() {
  SetField(m_nid.szInfoTitle, sizeof m_nid.szInfoTitle, "");
  SetField(m_nid.szInfo, sizeof m_nid.szInfo, "");
  return Shell_NotifyIcon(NIM_MODIFY, m_nid);
}

bool COrvNotifyIcon::DeleteNotifyIcon() {
  return Shell_NotifyIcon(NIM_DELETE, m_nid);
}
