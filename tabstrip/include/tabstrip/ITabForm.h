#pragma once

#include <memory>

#include "platform/window/Window.h"
#include "tabstrip/Variant.h"

class IuTab;
class CTabItem;

// What every page shown in a tab offers. The collection and the strip talk to pages only
// through it. The collection owns its pages (shared ownership); a page refers back to its strip
// and its item without owning them.
class ITabForm : public virtual Object {
 public:
  // The page's own top-level window. It stays the same for the life of the page.
  virtual platform::HWND hWnd() = 0;

  // Tells the page which strip (may be none) and which item it belongs to. Called twice when
  // a tab is added and again whenever an item's Form is reassigned: the page keeps the latest.
  // The item is held weakly: it ends when the collection lets it go, and a page released from
  // its tab (CTabItems::ReleaseForm) outlives it.
  virtual void Initialize(IuTab* Implement, std::weak_ptr<CTabItem> Item) = 0;

  // Reloads the page's content.
  virtual void RefreshPage() = 0;

  // Unloads the page as the form runtime unloads a form: its window and content go. The object
  // itself stays valid while referenced. Unloading a page that is not loaded does nothing, so
  // a page may be asked more than once (by Remove, and again when its item ends). The page
  // may call back into the collection from here (a page that closes its own tab).
  virtual void Unload() = 0;

  // Sound. A page that plays sound, or that was muted, gets a speaker mark on its tab; the
  // mark and the tab's menu mute and unmute it. A page tells its strip when its sound starts or
  // stops (Redraw). Pages without sound keep these defaults.
  virtual bool PlayingAudio() { return false; }
  virtual bool Muted() { return false; }
  virtual void SetMuted(bool /*muted*/) {}

 protected:
  ITabForm() = default;
};
