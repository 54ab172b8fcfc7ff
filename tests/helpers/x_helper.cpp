// Another program on the X server, for the hot key tests:
//   x-helper window <title>   maps a focusable window and waits
//   x-helper grab-f10         holds F10 (no modifiers) on the root window, prints "grabbed"
// Either ends on SIGTERM or after a minute. And a watcher of the screen:
//   x-helper watch-black X Y W H SECONDS
// paints the desktop grey, then reads the screen's rectangle every few milliseconds for SECONDS
// and prints "black N SHARE MS": N reads in which more than 5 % of the rectangle's pixels were
// black, the largest black share seen, and when the first of them came (ms after the start).

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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) return 1;
  const Window root = DefaultRootWindow(dpy);
  if (std::strcmp(argv[1], "watch-black") == 0)
    return argc == 7 ? WatchBlack(dpy, root, argv + 2) : 2;
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
