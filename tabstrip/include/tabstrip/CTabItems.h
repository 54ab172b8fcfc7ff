#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tabstrip/CTabItem.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/IuTab.h"
#include "tabstrip/TabErrors.h"
#include "tabstrip/Variant.h"

// The ordered collection of tabs that every strip owns, left to right; a tab's position is its
// 0-based tab index (-1: no tab). Each item may carry one string key, unique within the
// collection without regard to letter case. Hosts add, find, select and remove tabs only
// through here; every change is reported to the strip through IuTab.
//
// Index arguments name a tab by position (a number, or a Boolean: true is -1), by key (any
// string, even one that reads as a number), by its page or by its item.
//
// Every operation may re-enter the strip and, through its events, the host, which may change
// the collection in the middle of it; pages may call back from their Unload. The collection
// never walks or changes its list while such a call is running, and a collection owned by a
// shared pointer (the strip's) keeps itself alive until the call that raised the event is done,
// even when the host ends the strip from the event.
class CTabItems final : public std::enable_shared_from_this<CTabItems> {
 public:
  CTabItems() = default;
  // Every page still held by an item that ends with the collection is unloaded.
  ~CTabItems();
  CTabItems(const CTabItems&) = delete;
  CTabItems& operator=(const CTabItems&) = delete;

  // Adds a tab for Form with Caption, at the end or before the tab at Index, under Key.
  // The page is initialised and adopted by the strip before the position is checked, so a
  // failure leaves an unloaded page behind and the collection unchanged. Raises TabError:
  // 5 for an Index that is not numeric (or a Key that is not a string, or no page),
  // 9 for a position below 0 or beyond Count, 457 for a Key already in use.
  // Does not select the new tab.
  bool Add(const std::string& Caption, const std::shared_ptr<ITabForm>& Form,
           const Variant& Key = {}, const Variant& Index = {});
  // Removes the tab Index names unless the host refuses (OnItemColose); unloads its page when
  // bUnload is true (otherwise the page goes when the removed item ends). False when nothing
  // was removed.
  bool Remove(const Variant& Index, bool bUnload);
  // Unloads every page, left to right, then lets go of every item. The strip is not told.
  // Always true.
  bool Clear();
  // The position of the tab Index names, -1 when none. Never raises.
  std::int32_t FindItem(const Variant& Index) const noexcept;
  // Takes the tab's page out of the strip and makes it a top-level window again, centred on
  // the screen, with the style it had before the strip adopted it. True when it was released.
  bool ReleaseForm(const Variant& Index);
  std::int32_t Count() const { return static_cast<std::int32_t>(m_items.size()); }
  // The item at a position (none when out of range) or under a key (TabError 5 when no item
  // has it).
  std::shared_ptr<CTabItem> Item(const Variant& Index) const;
  // The strip's selection; -1 without a strip.
  std::int32_t Selected() const;
  void Selected(std::int32_t Index);

  // ---- Reserved to the tab strip subsystem ----
  // Binds the collection to its strip; done once, by the strip, right after creating it.
  void Strip(IuTab* strip) { m_strip = strip; }
  IuTab* Strip() const { return m_strip; }

 private:
  struct Entry {
    std::shared_ptr<CTabItem> item;
    std::optional<std::string> key;  // as given
  };

  // Where a key is, comparing without regard to letter case; -1 when nowhere.
  std::int32_t KeyPosition(const std::string& key) const;
  // Where this very item is; -1 when it is not in the list.
  std::int32_t PositionOf(const CTabItem* item) const;

  std::vector<Entry> m_items;
  IuTab* m_strip = nullptr;  // not owned: the strip owns the collection
};
