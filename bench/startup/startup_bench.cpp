// Start-up benchmark: runs a program, waits for its first top-level window on the display, and
// records the time from exec to
//   - the window's mapping (MapNotify on the root window), and
//   - its first picture: the first moment from which the window shows what it still shows
//     kSettleMs after the mapping (its pixels are read every few milliseconds until then).
// A window that is mapped but not yet painted counts as not on the screen yet. For each it also
// records the processor time the program's threads had used by then: on a busy machine the
// wall time says more about the other programs than about this one.
//
//   startup_bench RUNS -- PROGRAM [ARGS...] [-- PEER [ARGS...]]
//
// With a peer, the two programs alternate and the ratio of medians is printed. Run it on a
// display without a window manager, so the program's own windows are the root's children.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How long after the mapping the window's picture counts as final.
constexpr auto kSettleMs = std::chrono::milliseconds(400);
// Between two reads of the window's pixels.
constexpr useconds_t kPollUs = 2000;

struct Sample {
  double mapMs = -1;
  double mapCpuMs = -1;
  double pictureMs = -1;
  double pictureCpuMs = -1;
};

// The processor time of every thread of the process so far (the scheduler's own count, in ns).
double CpuMs(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* tasks = opendir(dir.c_str());
  if (tasks == nullptr) return -1;
  double ms = 0;
  while (const dirent* task = readdir(tasks)) {
    if (task->d_name[0] == '.') continue;
    if (FILE* f = std::fopen((dir + "/" + task->d_name + "/schedstat").c_str(), "r")) {
      unsigned long long ns = 0;
      if (std::fscanf(f, "%llu", &ns) == 1) ms += static_cast<double>(ns) / 1e6;
      std::fclose(f);
    }
  }
  closedir(tasks);
  return ms;
}

// A hash of the window's pixels; 0 when they cannot be read (the window went away).
std::uint64_t PictureHash(Display* dpy, Window w) {
  XWindowAttributes attrs;
  if (XGetWindowAttributes(dpy, w, &attrs) == 0 || attrs.map_state != IsViewable) return 0;
  XImage* image = XGetImage(dpy, w, 0, 0, attrs.width, attrs.height, AllPlanes, ZPixmap);
  if (image == nullptr) return 0;
  std::uint64_t hash = 1469598103934665603ull;
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      hash = (hash ^ XGetPixel(image, x, y)) * 1099511628211ull;
    }
  }
  XDestroyImage(image);
  return hash == 0 ? 1 : hash;
}

int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;  // the window may go away while it is read
}

Sample RunOnce(Display* dpy, const std::vector<char*>& argv) {
  XSync(dpy, True);  // drop old events
  const auto start = Clock::now();
  auto since = [&start](Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - start).count();
  };
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  Sample sample;
  Window window = 0;
  Clock::time_point mapped;
  const auto deadline = start + std::chrono::seconds(30);
  while (window == 0 && Clock::now() < deadline) {
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == MapNotify && window == 0) {
        mapped = Clock::now();
        sample.mapMs = since(mapped);
        sample.mapCpuMs = CpuMs(pid);
        window = ev.xmap.window;
      }
    }
    int status = 0;
    if (window == 0 && waitpid(pid, &status, WNOHANG) == pid) return {};  // ended without one
    if (window == 0) usleep(200);
  }
  // The window's pixels until they have settled; the picture is the last change.
  struct Read {
    double ms;
    double cpuMs;
    std::uint64_t hash;
  };
  std::vector<Read> reads;
  while (window != 0 && Clock::now() < mapped + kSettleMs) {
    const std::uint64_t hash = PictureHash(dpy, window);
    reads.push_back({since(Clock::now()), CpuMs(pid), hash});
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
    }
    usleep(kPollUs);
  }
  if (!reads.empty() && reads.back().hash != 0) {
    std::size_t first = reads.size() - 1;
    while (first > 0 && reads[first - 1].hash == reads.back().hash) --first;
    sample.pictureMs = reads[first].ms;
    sample.pictureCpuMs = reads[first].cpuMs;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return sample;
}

double Median(const std::vector<Sample>& samples, double Sample::*field) {
  std::vector<double> v;
  for (const Sample& s : samples) v.push_back(s.*field);
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void Print(const char* name, const std::vector<Sample>& s) {
  std::printf("%s map %.1f ms (processor %.1f ms), picture %.1f ms (processor %.1f ms)\n", name,
              Median(s, &Sample::mapMs), Median(s, &Sample::mapCpuMs),
              Median(s, &Sample::pictureMs), Median(s, &Sample::pictureCpuMs));
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
  XSetErrorHandler(IgnoreXErrors);
  XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);

  std::vector<Sample> a, b;
  for (int i = 0; i < runs; ++i) {
    a.push_back(RunOnce(dpy, program));
    if (!peer.empty()) b.push_back(RunOnce(dpy, peer));
  }
  for (const Sample& s : a) {
    if (s.pictureMs < 0) {
      std::fprintf(stderr, "startup_bench: %s showed no window\n", program[0]);
      return 1;
    }
  }
  std::printf("medians over %d runs, from exec:\n", runs);
  Print("program:", a);
  if (!peer.empty()) {
    Print("peer:   ", b);
    std::printf("ratio program/peer: picture %.2f (processor %.2f), map %.2f\n",
                Median(a, &Sample::pictureMs) / Median(b, &Sample::pictureMs),
                Median(a, &Sample::pictureCpuMs) / Median(b, &Sample::pictureCpuMs),
                Median(a, &Sample::mapMs) / Median(b, &Sample::mapMs));
  }
  return 0;
}
