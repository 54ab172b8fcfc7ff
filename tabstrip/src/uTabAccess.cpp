// The strip for the keyboard and for assistive technology: a focus among the tabs that the
// keys move and act on, and the tabs described as page tabs with their actions.

#include <memory>
#include <string>
#include <vector>

#include "platform/window/Accessible.h"
#include "tabstrip/uTab.h"

using namespace platform;

std::int32_t uTab::FocusIndex() const {
  const std::int32_t count = m_TabItems ? m_TabItems->Count() : 0;
  if (m_FocusIndex >= 0 && m_FocusIndex < count) return m_FocusIndex;
  return m_Selected < count ? m_Selected : -1;
}

bool uTab::SelectByKey(std::int32_t index) {
  if (index < 0 || index >= m_TabItems->Count()) return true;
  m_FocusIndex = index;
  if (index != m_Selected) {
    m_Selected = index;
    ShowSelectedPage();
  }
  DrawTabs(true);
  return Raise(TabChanged);
}

void uTab::CloseByKey(std::int32_t index) {
  // The close box's rules: only a tab that shows one closes, and the host may keep it.
  const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(index));
  if (!item || item->HideButton()) return;
  const std::shared_ptr<bool> alive = m_alive;
  const std::shared_ptr<CTabItems> items = m_TabItems;
  items->Remove(Variant(index), true);
  if (*alive) RedrawAll(true);
}

bool uTab::KeyDown(WPARAM key, bool shift) {
  const std::int32_t count = m_TabItems->Count();
  const std::int32_t focus = FocusIndex();
  if (count == 0) return true;
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT: {
      const std::int32_t next = focus + (key == VK_LEFT ? -1 : 1);
      if (next >= 0 && next < count) {
        m_FocusIndex = next;
        DrawTabs(true);
      }
      return true;
    }
    case VK_RETURN:
    case VK_SPACE:
      return SelectByKey(focus);
    case VK_DELETE:
      if (focus >= 0) CloseByKey(focus);
      return *m_alive;
    case VK_APPS:
      if (focus >= 0) ShowTabMenu(focus);
      return *m_alive;
    case VK_F10:
      if (shift && focus >= 0) ShowTabMenu(focus);
      return *m_alive;
    default:
      return true;
  }
}

void uTab::AccessibleAction(int action, int item) {
  if (item < 0 || item >= m_TabItems->Count() || action < 0) return;
  const std::shared_ptr<CTabItem> tab = m_TabItems->Item(Variant(item));
  if (!tab) return;
  // The names of Describe's list, in its order.
  std::vector<std::string> names{"select"};
  if (!tab->HideButton()) names.emplace_back("close");
  if (tab->Form()) names.emplace_back("mute");
  if (static_cast<std::size_t>(action) >= names.size()) return;
  const std::string& name = names[static_cast<std::size_t>(action)];
  if (name == "select") {
    SelectByKey(item);
  } else if (name == "close") {
    CloseByKey(item);
  } else {
    ToggleMute(item);
  }
}

void uTab::Describe() {
  AccessibleInfo strip;
  strip.role = AccessibleRole::PageTabList;
  strip.name = "标签页";
  SetAccessible(m_hWnd, strip);
  std::vector<AccessibleItem> tabs;
  const std::int32_t focus = FocusIndex();
  for (std::int32_t i = 0; i < m_TabItems->Count(); ++i) {
    const std::shared_ptr<CTabItem> tab = m_TabItems->Item(Variant(i));
    if (!tab) continue;
    AccessibleItem a;
    a.name = tab->Caption();
    if (tab->SessionMark() > 0) a.description = "账号" + std::to_string(tab->SessionMark());
    if (const std::shared_ptr<ITabForm>& form = tab->Form(); form && form->Muted()) {
      a.description += a.description.empty() ? "已静音" : "，已静音";
    } else if (form && form->PlayingAudio()) {
      a.description += a.description.empty() ? "正在播放声音" : "，正在播放声音";
    }
    a.selected = i == m_Selected;
    a.focused = i == focus;
    a.actions = {"select"};
    if (!tab->HideButton()) a.actions.emplace_back("close");
    if (tab->Form()) a.actions.emplace_back(tab->Form()->Muted() ? "unmute" : "mute");
    tabs.push_back(std::move(a));
  }
  SetAccessibleItems(m_hWnd, tabs);
}

void uTab::DrawFocusMark() {
  const std::int32_t focus = FocusIndex();
  if (focus < 0 || GetFocus() != m_hWnd || !FocusCuesShown(m_hWnd)) return;
  const std::shared_ptr<CTabItem> tab = m_TabItems->Item(Variant(focus));
  if (!tab) return;
  const int height = tablayout::Metrics(m_TabStyle).stripHeight;
  const RECT r{m_TabLeftSize + tab->Left() + 4, 4, m_TabLeftSize + tab->Left() + tab->Width() - 4,
               height - 3};
  if (r.right > r.left && r.bottom > r.top) DrawFocusRect(m_FrameBuffer, &r);
}
