#pragma once

// The toolkit half of the window layer (GTK 3 on X11), private to platform/. Each window of
// the registry that has a place on the screen owns one NativeWindow: a GtkWindow with a
// GtkLayout as its client area for a top-level window, a GtkLayout placed in the parent's
// layout for a child window, or a foreign widget (the web view) hosted as a child window.
//
// The half is split by concern, each file connecting the signals it handles:
//   WindowWidgets.cpp   widgets, creation and destruction, parents, owners, titles, icons
//   WindowInput.cpp     pointer, keys, focus, capture, cursors, hit testing
//   WindowGeometry.cpp  places and sizes, visibility, minimize/maximize, activation
//   WindowPaint.cpp     painting and the first frame
//   WindowDesktop.cpp   work area, screen metrics, desktop-wide setting changes
//   WindowLayered.cpp   regions, shapes and layering
//   WindowAccessible.cpp  the windows' objects on the accessibility bus
// Rules that need no display are in WindowRules.cpp.
//
// Every signal handler receives the window's handle (never a pointer) and looks it up in the
// registry first, so a late event for a window that is gone does nothing. Handlers run inside
// Guarded (Guarded.h): no exception crosses back into GTK.

#include <cairo.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/Image.h"
#include "platform/gdi/detail/CairoOwners.h"
#include "platform/gdi/detail/GdiImpl.h"
#include "platform/system/EventLog.h"
#include "platform/system/detail/GObjectRef.h"
#include "platform/system/detail/Guarded.h"
#include "platform/window/WindowRules.h"
#include "platform/window/detail/WindowImpl.h"

namespace platform {

// ---- For the rest of platform/ ----------------------------------------------------------------

// The layout that holds the window's children and hosted widgets; nullptr for a hosted widget,
// a message-only window or an unknown handle.
GtkWidget* NativeClientWidget(HWND hwnd);
// The window whose client area `widget` is, or that hosts it (searching up the widget tree).
HWND WindowFromWidget(GtkWidget* widget);
// Hosts a foreign widget as a child window of `parent` at (x, y) in its client area. The window
// takes a reference to the widget; destroying the window destroys the widget. Visible at once.
HWND CreateWidgetWindow(GtkWidget* widget, HWND parent, int x, int y, int width, int height);
// The cairo context of the paint in progress: valid only while the window handles
// WM_ERASEBKGND or WM_PAINT sent by the layer's own drawing, nullptr otherwise. Its origin is
// the client area's top-left corner and it is clipped to the area being painted.
cairo_t* CurrentPaintContext(HWND hwnd);
// True when every top-level window of ours that is mapped has drawn its first frame.
bool AllMappedTopLevelsDrawn();
// Called whenever a top-level window of ours draws its first frame (one listener).
void SetFirstFrameListener(void (*listener)());

namespace detail {

struct SignalLink {
  GObject* instance = nullptr;
  gulong id = 0;
};

struct NativeWindow {
  HWND hwnd = 0;
  GtkWidget* window = nullptr;  // the GtkWindow of a top-level window, else nullptr
  GtkWidget* client = nullptr;  // the GtkLayout of the client area; nullptr for a hosted widget
  GtkWidget* hosted = nullptr;  // the foreign widget of a hosted child window
  std::vector<SignalLink> signals;

  // Top-level: the client area in screen pixels. Child: in the parent's client pixels.
  RECT rect;
  // A top-level geometry we asked the window manager for and have reported already: configure
  // notifications older than it are not news. Dropped when it arrives or after a short while
  // (the window manager may have placed the window elsewhere).
  bool pending = false;
  RECT pendingRect;
  gint64 pendingUntil = 0;
  bool placeUnseen = false;  // the place of the last request was never reported since
  guint originCheck = 0;     // pending read-back of a top-level window's place
  bool drawn = false;        // a top-level window has drawn its first frame
  bool iconic = false;
  // A minimized state we asked for and have reported already: state notices that say otherwise
  // are older news until one agrees or a short while has passed (as `pending` for geometry).
  bool iconicPending = false;
  gint64 iconicPendingUntil = 0;
  bool maximized = false;

  cairo_t* paintContext = nullptr;  // during WM_ERASEBKGND/WM_PAINT only

  Region windowRegion;  // SetWindowRgn, client coordinates
  // Layering.
  DWORD layeredFlags = 0;
  std::uint32_t colorKey = 0;  // 0x00BBGGRR
  std::uint8_t alpha = 255;
  Surface image;       // UpdateLayeredWindow's pixels
  Region imageRegion;  // pixels of `image` with alpha > 0
  Region solidRegion;  // pixels of `image` shown without a compositor (made when needed)
  Region keyOpaque;    // colour key: pixels of this window's own painting not in the key
  // A child window's own colour key: its key-coloured pixels leave the parent's painting.
  bool childKeyed = false;
  std::uint32_t childKey = 0;  // 0x00BBGGRR
  Region inputShape;           // the input shape last applied (top-level), for WindowFromPoint
  bool shapeQueued = false;

  std::uint32_t smallIcon = 0;  // HICON of WM_SETICON, ICON_SMALL
  std::uint32_t bigIcon = 0;    // ICON_BIG
  bool trackLeave = false;
  bool focusCues = false;  // a top-level window shows focus marks (FocusCuesShown)
  GObjectRef<GdkCursor> cursor;

  // The widget that stands for the window in its parent (the GtkWindow for a top-level).
  GtkWidget* Outer() const {
    return window != nullptr ? window : (client != nullptr ? client : hosted);
  }
  // The widget that draws and receives the window's input.
  GtkWidget* Inner() const { return client != nullptr ? client : hosted; }
};

NativeWindow* Native(HWND hwnd);
// The top-level window that contains `hwnd` (itself for a top-level one).
HWND TopLevelOf(HWND hwnd);
bool ToolkitReady();

// Shapes: recomputes the window shape and input shape of a top-level window from its region
// and layering (soon, from an idle, when `deferred`).
void UpdateShape(HWND topLevel, bool deferred);
// Sets the current shapes on the native window (when it has been realized).
void ReapplyShape(HWND topLevel);
// True when the window's own painting goes through the colour key.
bool PaintsThroughColorKey(HWND hwnd);
// Replaces key-coloured pixels of `surface` (premultiplied ARGB32) by transparency and returns
// the region of the pixels that remain.
Region ApplyColorKey(cairo_surface_t* surface, std::uint32_t colorKey);
// The region of the pixels of an ARGB32 surface whose alpha is not 0.
Region OpaqueRegion(cairo_surface_t* surface);
void EnsureRgbaVisual(HWND hwnd);
// Paints a per-pixel alpha window: its image as it is where a compositor blends it, else the
// opaque look that the window's shape cuts (see WindowLayered.cpp).
void PaintLayeredImage(HWND hwnd, cairo_t* cr);
// A compositor started or stopped: every per-pixel alpha window changes its look.
void CompositingChanged();

// ---- Shared by the files of the toolkit half ----

inline constexpr const char* kHwndKey = "platform-hwnd";

inline HWND HwndOf(gpointer data) {
  return static_cast<HWND>(GPOINTER_TO_UINT(data));
}
inline LPARAM PackPoint(int x, int y) {
  return MAKELPARAM(x, y);
}

// Connects a handler that receives the window's handle as its data; disconnected when the
// window goes.
template <typename Handler>
void Connect(NativeWindow& n, gpointer instance, const char* signal, Handler handler,
             bool after = false) {
  const gulong id =
      g_signal_connect_data(instance, signal, G_CALLBACK(handler), GUINT_TO_POINTER(n.hwnd),
                            nullptr, after ? G_CONNECT_AFTER : GConnectFlags(0));
  n.signals.push_back(SignalLink{G_OBJECT(instance), id});
}

// The GDK window that receives the client area's input (the layout's bin window).
GdkWindow* BinWindow(const NativeWindow& n);
bool IsTopLevel(const WindowRecord& rec);
GtkWindow* GtkTopLevel(HWND h);
void ApplyTopLevelStyle(WindowRecord& rec);
// The window as the display-free rules see it.
std::optional<rules::WindowPlace> PlaceOf(HWND h);
POINT ClientOrigin(HWND h);

// Geometry (WindowGeometry.cpp).
void ConnectGeometry(NativeWindow& n);  // top-level windows
void SendSize(HWND h);
WPARAM SizeKind(const NativeWindow& n);
void Present(HWND h);
void ForgetGeometry(NativeWindow& n);
bool GeometryDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Input (WindowInput.cpp).
void ConnectInput(NativeWindow& n);  // a client area
void ConnectKeys(NativeWindow& n);   // top-level windows
void ConnectCloseRequest(NativeWindow& n);
// Drops the capture without messages when it is `h` or inside it (the window is going).
void DropCaptureWithin(HWND h);
void ForgetInput(NativeWindow& n);
bool InputDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
// Whether the window and the windows it lies in take input.
bool TakesInput(HWND h);
// Makes the toolkit refuse input to a window that is disabled.
void ApplyEnabled(WindowRecord& rec);

// Painting (WindowPaint.cpp).
void ConnectPaint(NativeWindow& n);  // a client area
void ConnectTopLevelPaint(NativeWindow& n);
// A colour-keyed top-level window about to be mapped: paints it and its windows off the screen
// to know its shape, so that it is mapped with the shape it will have.
void ShapeBeforeMap(HWND topLevel);
bool PaintDefault(WindowRecord& rec, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Accessibility (WindowAccessible.cpp).
// A client area's layout, whose accessible object stands for the window (Accessible.h).
GtkWidget* NewClientLayout();
void ForgetAccessible(HWND h);

// Desktop (WindowDesktop.cpp).
void WatchDesktopOnce();

}  // namespace detail
}  // namespace platform
