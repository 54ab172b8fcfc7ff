// Another program on the X server, for the hot key tests:
//   x-helper window <title>   maps a focusable window and waits
//   x-helper grab-f10         holds F10 (no modifiers) on the root window, prints "grabbed"
// Either ends on SIGTERM or after a minute. And a watcher of the screen:
//   x-helper watch-black X Y W H SECONDS
// paints the desktop grey, then reads the screen's rectangle every few milliseconds for SECONDS
// and prints "black N SHARE MS": N reads in which more than 5 % of the rectangle's pixels were
// black, the largest black share seen, and when the first of them came (ms after the start).
//   x-helper watch-maps SECONDS
// prints "watching", then "map WINDOW PID" for every window mapped on the screen for SECONDS:
// a top-level window that can be seen, or a window manager's frame with the program's window in
// it; PID is the
// _NET_WM_PID of that window (0 when it names none).

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int WatchBlack(Display* dpy, Window root, char** argv) {
  const int x = std::atoi(argv[0]), y = std::atoi(argv[1]);
  const int w = std::atoi(argv[2]), h = std::atoi(argv[3]);
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::seconds(std::atoi(argv[4]));
  XSetWindowBackground(dpy, root, 0x808080);
  XClearWindow(dpy, root);
  XSync(dpy, False);
  int blackReads = 0;
  double most = 0;
  long long firstMs = -1;
  while (std::chrono::steady_clock::now() < end) {
    if (XImage* image = XGetImage(dpy, root, x, y, w, h, AllPlanes, ZPixmap)) {
      long black = 0, all = 0;
      for (int py = 0; py < h; py += 2) {
        for (int px = 0; px < w; px += 2, ++all) {
          const unsigned long p = XGetPixel(image, px, py);
          if (((p >> 16) & 0xFF) < 12 && ((p >> 8) & 0xFF) < 12 && (p & 0xFF) < 12) ++black;
        }
      }
      XDestroyImage(image);
      const double share = all > 0 ? static_cast<double>(black) / static_cast<double>(all) : 0;
      if (share > 0.05 && blackReads++ == 0) {
        firstMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
      }
      if (share > most) most = share;
    }
    usleep(1500);
  }
  std::printf("black %d %.3f %lld\n", blackReads, most, firstMs);
  return 0;
}

// The _NET_WM_PID of `w` or of a window inside it (a frame holds its client a level or two
// down); 0 when none names one.
long WindowPid(Display* dpy, Window w, int depth) {
  const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  long pid = 0;
  if (XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after,
                         &data) == Success &&
      data != nullptr) {
    if (n == 1 && format == 32) pid = *reinterpret_cast<long*>(data);
    XFree(data);
  }
  if (pid != 0 || depth == 0) return pid;
  Window rootReturn = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(dpy, w, &rootReturn, &parent, &children, &count) == 0) return 0;
  for (unsigned i = 0; i < count && pid == 0; ++i) pid = WindowPid(dpy, children[i], depth - 1);
  if (children != nullptr) XFree(children);
  return pid;
}

int WatchMaps(Display* dpy, Window root, int seconds) {
  XSelectInput(dpy, root, SubstructureNotifyMask);
  XSync(dpy, False);
  std::printf("watching\n");
  std::fflush(stdout);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type != MapNotify) continue;
      // An input-only window (a toolkit's hidden helper) shows nothing.
      XWindowAttributes attributes;
      if (XGetWindowAttributes(dpy, ev.xmap.window, &attributes) != 0 &&
          attributes.c_class == InputOnly) {
        continue;
      }
      // The program may have gone (or unmapped it) since: errors of the queries are ignored.
      std::printf("map 0x%lx %ld\n", ev.xmap.window, WindowPid(dpy, ev.xmap.window, 2));
      std::fflush(stdout);
    }
    usleep(5000);
  }
  return 0;
}

int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) return 1;
  const Window root = DefaultRootWindow(dpy);
  if (std::strcmp(argv[1], "watch-black") == 0)
    return argc == 7 ? WatchBlack(dpy, root, argv + 2) : 2;
  if (std::strcmp(argv[1], "watch-maps") == 0) {
    XSetErrorHandler(IgnoreErrors);
    return argc == 3 ? WatchMaps(dpy, root, std::atoi(argv[2])) : 2;
  }
  if (std::strcmp(argv[1], "grab-f10") == 0) {
    XGrabKey(dpy, XKeysymToKeycode(dpy, XK_F10), 0, root, False, GrabModeAsync, GrabModeAsync);
    XSync(dpy, False);
    std::printf("grabbed\n");
  } else {
    const Window w = XCreateSimpleWindow(dpy, root, 700, 500, 200, 120, 0, 0, 0xFFFFFF);
    XStoreName(dpy, w, argc > 2 ? argv[2] : "x-helper");
    XSelectInput(dpy, w, KeyPressMask | ExposureMask);
    XMapWindow(dpy, w);
    XSync(dpy, False);
    std::printf("mapped\n");
  }
  std::fflush(stdout);
  alarm(60);
  while (true) {
    XEvent ev;
    XNextEvent(dpy, &ev);
  }
}
