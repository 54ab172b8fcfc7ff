#pragma once

// The toolkit side of a web-browser view, for the window layer's host and for tests.

#include <gtk/gtk.h>

#include "platform/webhost/WebBrowser.h"

namespace platform {

// The widget of the view: a container that holds the engine's web view once it has been made
// (and stays blank when the engine could not be loaded). It belongs to the view, which destroys
// it. A host adds it to a container, sizes and places it, and may move it between containers;
// it must not outlive the view.
GtkWidget* WebBrowserWidget(const WebBrowser& browser);

}  // namespace platform
