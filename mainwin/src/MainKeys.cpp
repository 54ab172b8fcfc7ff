#include "mainwin/MainKeys.h"

using namespace platform;

MainKeyCommand MainKeyFor(WPARAM vk, LPARAM flags) {
  const bool shift = (flags & KP_SHIFT) != 0;
  const bool ctrl = (flags & KP_CONTROL) != 0;
  const bool alt = (flags & KP_ALT) != 0;
  const bool plain = !shift && !ctrl && !alt;
  if (vk == VK_F5 && plain) return {MainKey::Refresh};
  if (vk == VK_F11 && plain) return {MainKey::FullScreen};
  // Every other key of ours is a Ctrl chord; Ctrl+Alt is left to the desktop (and AltGr).
  if (!ctrl || alt) return {};
  if (vk == VK_TAB) return {shift ? MainKey::PreviousTab : MainKey::NextTab};
  if (vk == 'S' && shift) return {MainKey::Screenshot};
  // Plus is Shift+= on most layouts, so Shift does not matter for it.
  if (vk == VK_OEM_PLUS || vk == VK_ADD) return {MainKey::ZoomIn};
  if (shift) return {};
  if (vk == 'R') return {MainKey::Refresh};
  if (vk == 'W') return {MainKey::CloseTab};
  if (vk >= '1' && vk <= '9') return {MainKey::TabAt, static_cast<int>(vk - '0')};
  if (vk == '0' || vk == 0x60 /* keypad 0 */) return {MainKey::ZoomReset};
  if (vk == VK_OEM_MINUS || vk == VK_SUBTRACT) return {MainKey::ZoomOut};
  return {};
}
