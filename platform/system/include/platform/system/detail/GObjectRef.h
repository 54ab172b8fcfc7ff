#pragma once

// The one owner of a GObject reference inside platform/. Private to platform/.

#include <glib-object.h>

#include "platform/system/Owner.h"

namespace platform::detail {

// One counted reference to a GObject, dropped once when the owner goes.
template <typename T>
class GObjectRef : public Owner<T, g_object_unref> {
 public:
  GObjectRef() = default;
  // Takes over a reference the caller owns.
  explicit GObjectRef(T* object) : Owner<T, g_object_unref>(object) {}
  // Takes over a reference the caller owns (as returned by a *_new function); a floating one
  // is sunk first.
  static GObjectRef Adopt(T* object) {
    if (object != nullptr && g_object_is_floating(object)) g_object_ref_sink(object);
    return GObjectRef(object);
  }
};

}  // namespace platform::detail
