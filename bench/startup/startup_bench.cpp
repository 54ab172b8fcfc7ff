// Start-up benchmark: runs a program, waits for the first top-level window to be mapped on the
// display (MapNotify on the root window), records the time from exec, and ends the program.
//
//   startup_bench RUNS -- PROGRAM [ARGS...] [-- PEER [ARGS...]]
//
// With a peer, the two programs alternate and the ratio of medians is printed. Run it on a
// display without a window manager, so the program's own windows are the root's children.

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double RunOnce(Display* dpy, const std::vector<char*>& argv) {
  XSync(dpy, True);  // drop old events
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  double ms = -1;
  const auto deadline = start + std::chrono::seconds(30);
  while (Clock::now() < deadline) {
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == MapNotify && ms < 0) {
        ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      }
    }
    if (ms >= 0) break;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return -1;  // ended without a window
    usleep(200);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return ms;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
    std::fprintf(stderr, "usage: startup_bench RUNS -- PROGRAM [ARGS...] [-- PEER [ARGS...]]\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  std::vector<char*> program, peer;
  std::vector<char*>* target = &program;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      target = &peer;
      continue;
    }
    target->push_back(argv[i]);
  }
  program.push_back(nullptr);
  if (!peer.empty()) peer.push_back(nullptr);

  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "startup_bench: no display\n");
    return 1;
  }
  XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);

  std::vector<double> a, b;
  for (int i = 0; i < runs; ++i) {
    a.push_back(RunOnce(dpy, program));
    if (!peer.empty()) b.push_back(RunOnce(dpy, peer));
  }
  for (double v : a) {
    if (v < 0) {
      std::fprintf(stderr, "startup_bench: %s mapped no window\n", program[0]);
      return 1;
    }
  }
  std::printf("program: median %.1f ms over %d runs\n", Median(a), runs);
  if (!peer.empty()) {
    std::printf("peer:    median %.1f ms over %d runs\n", Median(b), runs);
    std::printf("ratio program/peer: %.2f\n", Median(a) / Median(b));
  }
  return 0;
}
