#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/window/Window.h"
#include "tabstrip/Variant.h"

class ITabForm;
class CTabItem;
class CTabItems;

// What the tab strip offers its item collection and items. They hold the strip only through
// this interface, as a plain reference (the strip owns them), and report every change of the
// collection through it.
class IuTab : public virtual Object {
 public:
  // The new item is already in the collection: adopt the page's window, keep the selection
  // valid, lay out and redraw. Caption, Key and Index are passed as the collection received them.
  virtual void Add(const std::string& Caption, const std::shared_ptr<ITabForm>& Form,
                   const Variant& Key, const Variant& Index) = 0;
  // Asked before anything is removed (raises OnItemColose); true when the tab may go.
  virtual bool BeforeRemove(std::int32_t Index) = 0;
  // The item at Index (a number) has left the collection; its page is not unloaded yet.
  virtual void Remove(const Variant& Index) = 0;
  virtual void Clear() = 0;
  // Repaints the strip; the result reaches the screen whatever bUpdate says.
  virtual void Redraw(bool bUpdate) = 0;
  // An item's page was (re)assigned: adopt its window (hidden), bring the selected page forward.
  virtual void ChangeForm(CTabItem& Item, const std::shared_ptr<ITabForm>& Form) = 0;
  // The selected tab, -1 when none.
  virtual std::int32_t Selected() = 0;
  virtual void Selected(std::int32_t Index) = 0;
  virtual CTabItems& TabItems() = 0;
  virtual platform::HWND hWnd() = 0;
  // The window of the form that holds the strip; 0 when it cannot be read.
  virtual platform::HWND hParent() = 0;
  // The strip itself as a general object.
  virtual Object& Control() = 0;

 protected:
  IuTab() = default;
};
