// Another program on the X server, for the hot key tests:
//   x-helper window <title>   maps a focusable window and waits
//   x-helper grab-f10         holds F10 (no modifiers) on the root window, prints "grabbed"
// Either ends on SIGTERM or after a minute.

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) return 1;
  const Window root = DefaultRootWindow(dpy);
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
