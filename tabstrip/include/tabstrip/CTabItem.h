#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tabstrip/ITabForm.h"
#include "tabstrip/IuTab.h"
#include "tabstrip/Variant.h"

// One tab: its caption, the page it shows, two per-tab options, its place as laid out by the
// strip and a free value for the host. Items are created by CTabItems::Add and shared: the
// collection holds them, and so may the host. An item that ends while it still holds a page
// unloads that page, so letting go of a tab lets go of its window.
class CTabItem final : public Object, public std::enable_shared_from_this<CTabItem> {
 public:
  CTabItem() = default;
  ~CTabItem() override;
  CTabItem(const CTabItem&) = delete;
  CTabItem& operator=(const CTabItem&) = delete;

  const std::string& Caption() const { return m_Caption; }
  // Stores the text and has the strip, if any, redraw.
  void Caption(std::string value);

  const std::shared_ptr<ITabForm>& Form() const { return m_Form; }
  // Stores the page, initialises it with this item's strip and the item itself, then lets the
  // strip, if any, adopt its window. A page that was here before is let go, not unloaded.
  void Form(std::shared_ptr<ITabForm> value);

  bool HideButton() const { return m_HideButton; }
  // True: the tab has no close button. The strip, if any, redraws.
  void HideButton(bool value);

  std::int32_t Left() const { return m_Left; }
  std::int32_t Width() const { return m_Width; }

  bool LockSize() const { return m_LockSize; }
  // True: the tab keeps the full width of its style. The strip redraws now; the width changes
  // at its next layout.
  void LockSize(bool value);

  // The number the strip draws in a small mark at the tab's left (the host's website-data
  // session of the tab, for one); 0: no mark. The strip, if any, redraws.
  std::int32_t SessionMark() const { return m_SessionMark; }
  void SessionMark(std::int32_t value);

  // Any value or object the host attaches; the strip never reads it.
  const Variant& ItemData() const { return m_ItemData; }
  void ItemData(Variant value) { m_ItemData = std::move(value); }

  // ---- Reserved to the tab strip subsystem (the collection and the strip) ----
  IuTab* Strip() const { return m_strip; }
  // Binds the item to its strip; done once, by the collection, when it creates the item.
  void Strip(IuTab* strip) { m_strip = strip; }
  // Written by the strip's layout.
  void Left(std::int32_t value) { m_Left = value; }
  void Width(std::int32_t value) { m_Width = value; }
  // The page window's style before the strip first re-parented it.
  std::int32_t SavedStyle() const { return m_SavedStyle; }
  void SavedStyle(std::int32_t value) { m_SavedStyle = value; }
  // Takes the page out of the item without unloading it, so that the item's end leaves it
  // alone (a page released to a window of its own).
  std::shared_ptr<ITabForm> TakeForm() { return std::move(m_Form); }

 private:
  void RedrawStrip();

  std::string m_Caption;
  std::shared_ptr<ITabForm> m_Form;
  std::int32_t m_SavedStyle = 0;
  bool m_HideButton = false;
  IuTab* m_strip = nullptr;  // not owned: the strip owns the collection that owns the item
  std::int32_t m_Left = 0;
  std::int32_t m_Width = 0;
  bool m_LockSize = false;
  std::int32_t m_SessionMark = 0;
  Variant m_ItemData;
};
