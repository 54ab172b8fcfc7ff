// Accessibility: the client area of every window is a layout whose accessible object reads what
// the window's control said of itself (SetAccessible) and what the window layer knows (title,
// visibility, sensitivity, focus); the parts a control draws inside itself (SetAccessibleItems)
// are objects of their own under it. The toolkit's bridge puts both on the accessibility bus.

#include <atk/atk.h>
#include <gtk/gtk-a11y.h>

#include <map>
#include <string>
#include <vector>

#include "platform/window/Accessible.h"
#include "platform/window/detail/WindowGtk.h"

namespace platform {

namespace detail {

namespace {

struct AccessibleState {
  bool said = false;  // the control has said what it is
  AccessibleInfo info;
  std::vector<AccessibleItem> items;
  std::vector<AtkObject*> itemObjects;  // owned, one per item
};

std::map<HWND, AccessibleState>& States() {
  static auto* const states = new std::map<HWND, AccessibleState>;
  return *states;
}

const AccessibleState* StateOf(HWND h) {
  const auto it = States().find(h);
  return it != States().end() ? &it->second : nullptr;
}

AtkRole AtkRoleOf(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::Panel:
      return ATK_ROLE_PANEL;
    case AccessibleRole::Frame:
      return ATK_ROLE_FRAME;
    case AccessibleRole::Dialog:
      return ATK_ROLE_DIALOG;
    case AccessibleRole::Alert:
      return ATK_ROLE_ALERT;
    case AccessibleRole::Window:
      return ATK_ROLE_WINDOW;
    case AccessibleRole::PushButton:
      return ATK_ROLE_PUSH_BUTTON;
    case AccessibleRole::ToggleButton:
      return ATK_ROLE_TOGGLE_BUTTON;
    case AccessibleRole::Label:
      return ATK_ROLE_LABEL;
    case AccessibleRole::ProgressBar:
      return ATK_ROLE_PROGRESS_BAR;
    case AccessibleRole::PageTabList:
      return ATK_ROLE_PAGE_TAB_LIST;
    case AccessibleRole::PageTab:
      return ATK_ROLE_PAGE_TAB;
  }
  return ATK_ROLE_PANEL;
}

// The state a toggle button's `pressed` stands for, and a push button's.
AtkStateType PressedState(AccessibleRole role) {
  return role == AccessibleRole::ToggleButton ? ATK_STATE_CHECKED : ATK_STATE_PRESSED;
}

// ---- The client area's widget and its accessible object -------------------------------------

struct PlatformLayout {
  GtkLayout parent;
};
struct PlatformLayoutClass {
  GtkLayoutClass parentClass;
};
struct PlatformAccessible {
  GtkContainerAccessible parent;
};
struct PlatformAccessibleClass {
  GtkContainerAccessibleClass parentClass;
};

GType platform_accessible_get_type();
void platform_accessible_action_init(AtkActionIface* iface);
void platform_accessible_value_init(AtkValueIface* iface);

G_DEFINE_TYPE(PlatformLayout, platform_layout, GTK_TYPE_LAYOUT)
G_DEFINE_TYPE_WITH_CODE(PlatformAccessible, platform_accessible, GTK_TYPE_CONTAINER_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, platform_accessible_action_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_VALUE, platform_accessible_value_init))

void platform_layout_class_init(PlatformLayoutClass* klass) {
  gtk_widget_class_set_accessible_type(GTK_WIDGET_CLASS(klass), platform_accessible_get_type());
}
void platform_layout_init(PlatformLayout*) {}

HWND HwndOfAccessible(gpointer accessible) {
  GtkWidget* w = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
  if (w == nullptr) return 0;
  const HWND h = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(w), kHwndKey));
  return Native(h) != nullptr ? h : 0;
}

AtkObjectClass* ParentClass() {
  return ATK_OBJECT_CLASS(platform_accessible_parent_class);
}

const gchar* AccGetName(AtkObject* obj) {
  const HWND h = HwndOfAccessible(obj);
  const AccessibleState* s = StateOf(h);
  if (s != nullptr && !s->info.name.empty()) return s->info.name.c_str();
  if (obj->name != nullptr) return obj->name;
  const WindowRecord* rec = Find(h);
  if (rec != nullptr && !rec->title.empty() && !IsTopLevel(*rec)) return rec->title.c_str();
  return ParentClass()->get_name(obj);
}

const gchar* AccGetDescription(AtkObject* obj) {
  const AccessibleState* s = StateOf(HwndOfAccessible(obj));
  if (s != nullptr && !s->info.description.empty()) return s->info.description.c_str();
  return ParentClass()->get_description(obj);
}

AtkRole AccGetRole(AtkObject* obj) {
  const HWND h = HwndOfAccessible(obj);
  const AccessibleState* s = StateOf(h);
  const WindowRecord* rec = Find(h);
  // A top-level window's client area is only the inside of its frame.
  if (rec != nullptr && IsTopLevel(*rec)) return ATK_ROLE_FILLER;
  if (s != nullptr && s->said) return AtkRoleOf(s->info.role);
  return ParentClass()->get_role(obj);
}

AtkStateSet* AccRefStateSet(AtkObject* obj) {
  AtkStateSet* set = ParentClass()->ref_state_set(obj);
  const HWND h = HwndOfAccessible(obj);
  const AccessibleState* s = StateOf(h);
  const WindowRecord* rec = Find(h);
  if (s == nullptr || rec == nullptr) return set;
  if (!s->info.focusable || IsTopLevel(*rec)) {
    atk_state_set_remove_state(set, ATK_STATE_FOCUSABLE);
    atk_state_set_remove_state(set, ATK_STATE_FOCUSED);
  }
  if (!s->info.enabled) {
    atk_state_set_remove_state(set, ATK_STATE_ENABLED);
    atk_state_set_remove_state(set, ATK_STATE_SENSITIVE);
  }
  if (s->info.pressed) atk_state_set_add_state(set, PressedState(s->info.role));
  return set;
}

gint BaseChildren(AtkObject* obj) {
  return ParentClass()->get_n_children(obj);
}

gint AccGetNChildren(AtkObject* obj) {
  const AccessibleState* s = StateOf(HwndOfAccessible(obj));
  return BaseChildren(obj) + (s != nullptr ? static_cast<gint>(s->itemObjects.size()) : 0);
}

AtkObject* AccRefChild(AtkObject* obj, gint i) {
  const gint base = BaseChildren(obj);
  if (i < base) return ParentClass()->ref_child(obj, i);
  const AccessibleState* s = StateOf(HwndOfAccessible(obj));
  const auto k = static_cast<std::size_t>(i - base);
  if (s == nullptr || i < 0 || k >= s->itemObjects.size()) return nullptr;
  return ATK_OBJECT(g_object_ref(s->itemObjects[k]));
}

void platform_accessible_class_init(PlatformAccessibleClass* klass) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_name = AccGetName;
  atk->get_description = AccGetDescription;
  atk->get_role = AccGetRole;
  atk->ref_state_set = AccRefStateSet;
  atk->get_n_children = AccGetNChildren;
  atk->ref_child = AccRefChild;
}
void platform_accessible_init(PlatformAccessible*) {}

// ---- Actions, for the window and for its items ----

const std::vector<std::string>* ActionsOf(HWND h, int item) {
  const AccessibleState* s = StateOf(h);
  if (s == nullptr) return nullptr;
  if (item < 0) return &s->info.actions;
  const auto k = static_cast<std::size_t>(item);
  return k < s->items.size() ? &s->items[k].actions : nullptr;
}

gint CountActions(HWND h, int item) {
  const std::vector<std::string>* a = ActionsOf(h, item);
  return a != nullptr ? static_cast<gint>(a->size()) : 0;
}

const gchar* ActionName(HWND h, int item, gint i) {
  const std::vector<std::string>* a = ActionsOf(h, item);
  if (a == nullptr || i < 0 || static_cast<std::size_t>(i) >= a->size()) return nullptr;
  return (*a)[static_cast<std::size_t>(i)].c_str();
}

gboolean DoAction(HWND h, int item, gint i) {
  if (ActionName(h, item, i) == nullptr || !TakesInput(h)) return FALSE;
  return PostMessage(h, WM_ACCESSIBLEACTION, static_cast<WPARAM>(i), item + 1) ? TRUE : FALSE;
}

void platform_accessible_action_init(AtkActionIface* iface) {
  iface->get_n_actions = [](AtkAction* a) { return CountActions(HwndOfAccessible(a), -1); };
  iface->get_name = [](AtkAction* a, gint i) { return ActionName(HwndOfAccessible(a), -1, i); };
  iface->do_action = [](AtkAction* a, gint i) {
    return Guarded(
        "accessible action", [&] { return DoAction(HwndOfAccessible(a), -1, i); }, gboolean{FALSE});
  };
}

void platform_accessible_value_init(AtkValueIface* iface) {
  iface->get_value_and_text = [](AtkValue* v, gdouble* value, gchar** text) {
    const AccessibleState* s = StateOf(HwndOfAccessible(v));
    if (value != nullptr) *value = s != nullptr ? s->info.value : 0;
    if (text != nullptr) *text = nullptr;
  };
  iface->get_range = [](AtkValue* v) {
    const AccessibleState* s = StateOf(HwndOfAccessible(v));
    return atk_range_new(0, s != nullptr ? s->info.maximum : 0, nullptr);
  };
}

// ---- Items ----

struct PlatformAccessibleItem {
  AtkObject parent;
  HWND hwnd;
  int index;
};
struct PlatformAccessibleItemClass {
  AtkObjectClass parentClass;
};

GType platform_accessible_item_get_type();
void platform_accessible_item_action_init(AtkActionIface* iface);
G_DEFINE_TYPE_WITH_CODE(PlatformAccessibleItem, platform_accessible_item, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION,
                                              platform_accessible_item_action_init))

PlatformAccessibleItem* ItemOf(gpointer p) {
  return reinterpret_cast<PlatformAccessibleItem*>(p);
}

const AccessibleItem* ItemData(AtkObject* obj) {
  const PlatformAccessibleItem* it = ItemOf(obj);
  const AccessibleState* s = StateOf(it->hwnd);
  const auto k = static_cast<std::size_t>(it->index);
  return s != nullptr && it->index >= 0 && k < s->items.size() ? &s->items[k] : nullptr;
}

void platform_accessible_item_class_init(PlatformAccessibleItemClass* klass) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_name = [](AtkObject* o) -> const gchar* {
    const AccessibleItem* d = ItemData(o);
    return d != nullptr ? d->name.c_str() : nullptr;
  };
  atk->get_description = [](AtkObject* o) -> const gchar* {
    const AccessibleItem* d = ItemData(o);
    return d != nullptr ? d->description.c_str() : nullptr;
  };
  atk->get_role = [](AtkObject* o) {
    const AccessibleItem* d = ItemData(o);
    return d != nullptr ? AtkRoleOf(d->role) : ATK_ROLE_INVALID;
  };
  atk->get_index_in_parent = [](AtkObject* o) {
    const PlatformAccessibleItem* it = ItemOf(o);
    NativeWindow* n = Native(it->hwnd);
    if (n == nullptr || n->client == nullptr) return -1;
    return BaseChildren(gtk_widget_get_accessible(n->client)) + it->index;
  };
  atk->ref_state_set = [](AtkObject* o) {
    AtkStateSet* set = atk_state_set_new();
    const AccessibleItem* d = ItemData(o);
    if (d == nullptr) {
      atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
      return set;
    }
    const HWND h = ItemOf(o)->hwnd;
    for (AtkStateType t :
         {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_SELECTABLE, ATK_STATE_FOCUSABLE}) {
      atk_state_set_add_state(set, t);
    }
    if (IsWindowVisible(h)) {
      atk_state_set_add_state(set, ATK_STATE_VISIBLE);
      atk_state_set_add_state(set, ATK_STATE_SHOWING);
    }
    if (d->selected) atk_state_set_add_state(set, ATK_STATE_SELECTED);
    if (d->focused && GetFocus() == h) atk_state_set_add_state(set, ATK_STATE_FOCUSED);
    return set;
  };
}
void platform_accessible_item_init(PlatformAccessibleItem* it) {
  it->hwnd = 0;
  it->index = -1;
}

void platform_accessible_item_action_init(AtkActionIface* iface) {
  iface->get_n_actions = [](AtkAction* a) {
    return CountActions(ItemOf(a)->hwnd, ItemOf(a)->index);
  };
  iface->get_name = [](AtkAction* a, gint i) {
    return ActionName(ItemOf(a)->hwnd, ItemOf(a)->index, i);
  };
  iface->do_action = [](AtkAction* a, gint i) {
    return Guarded(
        "accessible action", [&] { return DoAction(ItemOf(a)->hwnd, ItemOf(a)->index, i); },
        gboolean{FALSE});
  };
}

AtkObject* ClientAccessible(HWND h) {
  NativeWindow* n = Native(h);
  return n != nullptr && n->client != nullptr ? gtk_widget_get_accessible(n->client) : nullptr;
}

void Notify(AtkObject* obj, const char* property) {
  g_object_notify(G_OBJECT(obj), property);
}

void DropItems(AccessibleState& s) {
  for (AtkObject* o : s.itemObjects) {
    atk_object_notify_state_change(o, ATK_STATE_DEFUNCT, TRUE);
    g_object_unref(o);
  }
  s.itemObjects.clear();
}

}  // namespace

GtkWidget* NewClientLayout() {
  return GTK_WIDGET(g_object_new(platform_layout_get_type(), nullptr));
}

void ForgetAccessible(HWND h) {
  const auto it = States().find(h);
  if (it == States().end()) return;
  DropItems(it->second);
  States().erase(it);
}

}  // namespace detail

using namespace detail;

bool SetAccessible(HWND hwnd, const AccessibleInfo& info) {
  NativeWindow* n = Native(hwnd);
  if (n == nullptr) return false;
  AccessibleState& s = States()[hwnd];
  const AccessibleInfo old = s.info;
  const bool said = s.said;
  s.info = info;
  s.said = true;
  if (n->window != nullptr) {
    // A top-level window: its frame's object carries what it is.
    AtkObject* frame = gtk_widget_get_accessible(n->window);
    atk_object_set_role(frame, AtkRoleOf(info.role));
    if (!info.name.empty()) atk_object_set_name(frame, info.name.c_str());
    atk_object_set_description(frame, info.description.c_str());
    return true;
  }
  AtkObject* acc = ClientAccessible(hwnd);
  if (acc == nullptr || !said) return true;
  if (old.name != info.name) Notify(acc, "accessible-name");
  if (old.description != info.description) Notify(acc, "accessible-description");
  if (old.role != info.role) Notify(acc, "accessible-role");
  if (old.pressed != info.pressed) {
    atk_object_notify_state_change(acc, PressedState(info.role), info.pressed);
  }
  if (old.enabled != info.enabled) {
    atk_object_notify_state_change(acc, ATK_STATE_ENABLED, info.enabled);
    atk_object_notify_state_change(acc, ATK_STATE_SENSITIVE, info.enabled);
  }
  if (old.value != info.value) Notify(acc, "accessible-value");
  return true;
}

bool SetAccessibleItems(HWND hwnd, const std::vector<AccessibleItem>& items) {
  AtkObject* acc = ClientAccessible(hwnd);
  if (acc == nullptr) return false;
  AccessibleState& s = States()[hwnd];
  const std::vector<AccessibleItem> old = std::move(s.items);
  s.items = items;
  const gint base = BaseChildren(acc);
  while (s.itemObjects.size() > items.size()) {
    AtkObject* o = s.itemObjects.back();
    s.itemObjects.pop_back();
    g_signal_emit_by_name(acc, "children-changed::remove",
                          base + static_cast<gint>(s.itemObjects.size()), o);
    atk_object_notify_state_change(o, ATK_STATE_DEFUNCT, TRUE);
    g_object_unref(o);
  }
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k >= s.itemObjects.size()) {
      auto* it = static_cast<PlatformAccessibleItem*>(
          g_object_new(platform_accessible_item_get_type(), nullptr));
      it->hwnd = hwnd;
      it->index = static_cast<int>(k);
      AtkObject* o = ATK_OBJECT(it);
      atk_object_set_parent(o, acc);
      s.itemObjects.push_back(o);
      g_signal_emit_by_name(acc, "children-changed::add", base + static_cast<gint>(k), o);
      continue;
    }
    if (k >= old.size()) continue;
    AtkObject* o = s.itemObjects[k];
    if (old[k].name != items[k].name) Notify(o, "accessible-name");
    if (old[k].description != items[k].description) Notify(o, "accessible-description");
    if (old[k].selected != items[k].selected) {
      atk_object_notify_state_change(o, ATK_STATE_SELECTED, items[k].selected);
    }
    if (old[k].focused != items[k].focused && GetFocus() == hwnd) {
      atk_object_notify_state_change(o, ATK_STATE_FOCUSED, items[k].focused);
      if (items[k].focused) g_signal_emit_by_name(acc, "active-descendant-changed", o);
    }
  }
  return true;
}

}  // namespace platform
