#pragma once

// Sole owners of cairo regions, surfaces and contexts, shared by the window layer and the
// drawing layer. Private to platform/.

#include <cairo.h>

#include "platform/system/Owner.h"

namespace platform::detail {

using Surface = Owner<cairo_surface_t, cairo_surface_destroy>;
// A drawing context, destroyed when the scope that made it ends.
using CairoContext = Owner<cairo_t, cairo_destroy>;

class Region : public Owner<cairo_region_t, cairo_region_destroy> {
 public:
  using Owner::Owner;
  Region Copy() const { return Region(get() != nullptr ? cairo_region_copy(get()) : nullptr); }
};

}  // namespace platform::detail
