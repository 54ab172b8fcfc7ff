// A tab's own menu (right click on the tab) and its page's sound: the speaker mark's click and
// the menu's mute item both come here.

#include <memory>

#include "platform/desktop/PopupMenu.h"
#include "tabstrip/uTab.h"

using namespace platform;

namespace {

// The index of the item in the collection now; -1 when it has left it.
std::int32_t IndexOf(CTabItems& items, const std::shared_ptr<CTabItem>& item) {
  for (std::int32_t i = 0; i < items.Count(); ++i) {
    if (items.Item(Variant(i)) == item) return i;
  }
  return -1;
}

}  // namespace

bool uTab::ShowsSoundMark(CTabItem& item) {
  const std::shared_ptr<ITabForm>& form = item.Form();
  return form && (form->PlayingAudio() || form->Muted());
}

void uTab::ShowTabMenu(std::int32_t index) {
  const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(index));
  if (!item) return;
  m_MenuItem = item;
  const bool muted = item->Form() && item->Form()->Muted();
  PopupMenu(m_hWnd, {{kMenuRefresh, "刷新"},
                     {kMenuMute, muted ? "取消静音" : "静音", false, item->Form() != nullptr},
                     {kMenuClose, "关闭", false, !item->HideButton()}});
}

void uTab::TabMenuCommand(UINT id) {
  const std::shared_ptr<CTabItem> item = m_MenuItem.lock();
  m_MenuItem.reset();
  if (!item) return;
  const std::int32_t index = IndexOf(*m_TabItems, item);
  if (index < 0) return;
  switch (id) {
    case kMenuRefresh:
      // Our own reference: the page may end its tab while it reloads.
      if (const std::shared_ptr<ITabForm> form = item->Form()) form->RefreshPage();
      break;
    case kMenuMute:
      ToggleMute(index);
      break;
    case kMenuClose:
      // The close box's way: the host is asked first (OnItemColose) and may keep the tab.
      if (!item->HideButton()) {
        const std::shared_ptr<CTabItems> items = m_TabItems;
        items->Remove(Variant(index), true);
      }
      break;
    default:
      break;
  }
}

void uTab::ToggleMute(std::int32_t index) {
  const std::shared_ptr<CTabItem> item = m_TabItems->Item(Variant(index));
  if (!item) return;
  if (const std::shared_ptr<ITabForm> form = item->Form()) form->SetMuted(!form->Muted());
  DrawTabs(true);
}
