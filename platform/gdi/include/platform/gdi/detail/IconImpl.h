#pragma once

// Icons as the toolkit half of the window layer needs them. Private to platform/.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <vector>

#include "platform/gdi/Icon.h"

namespace platform {

// The icon's pixels (owned by the icon); nullptr for no icon.
GdkPixbuf* IconPixbuf(HICON icon);
// Every size of the icon file the icon was loaded from, as stored (owned by the icon).
std::vector<GdkPixbuf*> IconFileSizes(HICON icon);

}  // namespace platform
