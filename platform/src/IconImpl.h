#pragma once

// Icons as the toolkit half of the window layer needs them. Private to platform/.

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/Icon.h"

namespace platform {

// The icon's pixels (owned by the icon); nullptr for no icon.
GdkPixbuf* IconPixbuf(HICON icon);

}  // namespace platform
