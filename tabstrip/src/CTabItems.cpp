#include "tabstrip/CTabItems.h"

#include <cstddef>
#include <string>
#include <utility>

#include "platform/system/AsciiText.h"
#include "platform/system/EventLog.h"

namespace {

// Keys compare without regard to the case of the letters A-Z; other characters (the bytes of
// UTF-8 text) compare as they are.
bool SameKey(const std::string& a, const std::string& b) {
  return platform::AsciiEqualNoCase(a, b);
}

}  // namespace

CTabItems::~CTabItems() {
  // Items end here, and with them their pages, whose Unload may still call back into us:
  // the list must already be empty and valid by then.
  std::vector<Entry> old = std::exchange(m_items, {});
  old.clear();
}

std::int32_t CTabItems::KeyPosition(const std::string& key) const {
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i].key && SameKey(*m_items[i].key, key)) return static_cast<std::int32_t>(i);
  }
  return -1;
}

std::int32_t CTabItems::PositionOf(const CTabItem* item) const {
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    if (m_items[i].item.get() == item) return static_cast<std::int32_t>(i);
  }
  return -1;
}

bool CTabItems::Add(const std::string& Caption, const std::shared_ptr<ITabForm>& Form,
                    const Variant& Key, const Variant& Index) {
  if (!Form) throw TabError::InvalidArgument();
  const std::shared_ptr<CTabItems> hold = weak_from_this().lock();

  const auto style =
      static_cast<std::int32_t>(platform::GetWindowLongPtr(Form->hWnd(), platform::GWL_STYLE));
  auto item = std::make_shared<CTabItem>();
  item->SavedStyle(style);
  item->Strip(m_strip);
  Form->Initialize(m_strip, item);
  item->Caption(Caption);
  item->Form(Form);

  // From here a failure drops the new item, and its end unloads the page the strip has adopted.
  // The position is checked against the list as it is now: the calls above may have changed it.
  auto position = static_cast<std::size_t>(Count());
  if (!Index.IsMissing()) {
    const std::optional<double> number = Index.NumericValue();
    if (!number) throw TabError::InvalidArgument();
    const double whole = RoundHalfEven(*number);
    if (!(whole >= 0 && whole <= Count())) throw TabError::IndexOutOfRange();
    position = static_cast<std::size_t>(whole);
  }
  std::optional<std::string> key;
  if (!Key.IsMissing()) {
    if (!Key.IsString()) throw TabError::InvalidArgument();
    if (KeyPosition(Key.String()) >= 0) throw TabError::DuplicateKey();
    key = Key.String();
  }
  m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(position),
                 Entry{std::move(item), std::move(key)});

  if (m_strip != nullptr) {
    m_strip->Add(Caption, Form, Key, Index);
    platform::SetActiveWindow(m_strip->hWnd());
  }
  return true;
}

bool CTabItems::Remove(const Variant& Index, bool bUnload) {
  std::int32_t position = FindItem(Index);
  if (position < 0) return false;
  // The host may end the strip, the owner of this collection, from OnItemColose.
  const std::shared_ptr<CTabItems> hold = weak_from_this().lock();
  // Our own references keep the item and its page alive until we are done, whatever the
  // callbacks below do to the list.
  const std::shared_ptr<CTabItem> item = m_items[static_cast<std::size_t>(position)].item;
  const std::shared_ptr<ITabForm> form = item->Form();

  if (m_strip != nullptr && !m_strip->BeforeRemove(position)) return false;
  // The host's OnItemColose handler may have changed the list (closing the window clears it):
  // the tab is looked up again, and if it has gone already there is nothing left to remove.
  position = PositionOf(item.get());
  if (position < 0) return false;
  m_items.erase(m_items.begin() + position);
  if (m_strip != nullptr) m_strip->Remove(Variant(position));

  if (form && bUnload) form->Unload();
  return true;
}

bool CTabItems::Clear() {
  // Unload from a copy: a page may close its own tab (or others) from its Unload.
  const std::vector<Entry> snapshot = m_items;
  for (const Entry& entry : snapshot) {
    if (const std::shared_ptr<ITabForm> form = entry.item->Form()) form->Unload();
  }
  // Let go of the items only once the list is empty again; their ends may call back too.
  std::vector<Entry> old = std::exchange(m_items, {});
  old.clear();
  return true;
}

std::int32_t CTabItems::FindItem(const Variant& Index) const noexcept {
  try {
    if (m_items.empty()) return -1;
    switch (Index.type()) {
      case Variant::Type::String: {
        // A string is always a key, even one that reads as a number.
        const std::int32_t keyed = KeyPosition(Index.String());
        if (keyed < 0) return -1;
        return PositionOf(m_items[static_cast<std::size_t>(keyed)].item.get());
      }
      case Variant::Type::Number:
      case Variant::Type::Boolean: {
        const std::optional<std::int32_t> position = ToInt32(Index);
        if (!position || *position < 0 || *position > Count() - 1) return -1;
        return *position;
      }
      case Variant::Type::Object: {
        const std::shared_ptr<Object> object = Index.Object();
        if (const auto* form = dynamic_cast<const ITabForm*>(object.get())) {
          for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].item->Form().get() == form) return static_cast<std::int32_t>(i);
          }
          return -1;
        }
        if (const auto* item = dynamic_cast<const CTabItem*>(object.get())) {
          return PositionOf(item);
        }
        return -1;
      }
      case Variant::Type::Missing:
        return -1;
    }
  } catch (...) {  // NOLINT(bugprone-empty-catch): any failure of the search means "no tab"
  }
  return -1;
}

bool CTabItems::ReleaseForm(const Variant& Index) {
  const std::int32_t position = FindItem(Index);
  if (position < 0) return false;
  const std::shared_ptr<CTabItems> hold = weak_from_this().lock();  // see Remove
  std::shared_ptr<CTabItem> item = m_items[static_cast<std::size_t>(position)].item;
  const std::shared_ptr<ITabForm> form = item->Form();
  const std::int32_t savedStyle = item->SavedStyle();

  if (!Remove(Variant(position), false)) return false;
  // Out of the item before the item goes, so that its end leaves the page loaded.
  item->TakeForm();
  item.reset();
  if (!form) return false;

  const platform::HWND hwnd = form->hWnd();
  platform::SetLastError(0);
  if (platform::SetParent(hwnd, 0) == 0 && platform::GetLastError() != 0) {
    // The page left the strip but cannot stand on its own: it stays loaded where it is, and
    // the caller hears that the release failed.
    platform::LogEvent("a released page could not become a window of its own (error " +
                       std::to_string(platform::GetLastError()) + ")");
    if (m_strip != nullptr) platform::InvalidateRect(m_strip->hParent(), nullptr, false);
    return false;
  }
  const int screenWidth = platform::GetSystemMetrics(platform::SM_CXSCREEN);
  const int screenHeight = platform::GetSystemMetrics(platform::SM_CYSCREEN);
  platform::RECT rect;
  platform::GetWindowRect(hwnd, &rect);  // as adopted, before its own style is back
  platform::SetWindowLongPtr(
      hwnd, platform::GWL_STYLE,
      static_cast<platform::LONG_PTR>(static_cast<std::uint32_t>(savedStyle)));
  const auto x = static_cast<int>(RoundHalfEven((screenWidth - rect.Width()) / 2.0));
  const auto y = static_cast<int>(RoundHalfEven((screenHeight - rect.Height()) / 2.0));
  platform::SetWindowPos(
      hwnd, platform::HWND_TOP, x, y, 0, 0,
      platform::SWP_SHOWWINDOW | platform::SWP_FRAMECHANGED | platform::SWP_NOSIZE);
  // Repaint the form that held the page, now that the page has left it.
  if (m_strip != nullptr) platform::InvalidateRect(m_strip->hParent(), nullptr, false);
  return true;
}

std::shared_ptr<CTabItem> CTabItems::Item(const Variant& Index) const {
  if (Index.IsString()) {
    const std::int32_t keyed = KeyPosition(Index.String());
    if (keyed < 0) throw TabError::KeyNotFound();
    return m_items[static_cast<std::size_t>(keyed)].item;
  }
  const std::optional<std::int32_t> position = ToInt32(Index);
  if (!position || *position < 0 || *position > Count() - 1) return nullptr;
  return m_items[static_cast<std::size_t>(*position)].item;
}

std::int32_t CTabItems::Selected() const {
  return m_strip != nullptr ? m_strip->Selected() : -1;
}

void CTabItems::Selected(std::int32_t Index) {
  if (m_strip != nullptr) m_strip->Selected(Index);
}
