// Login benchmark: the time from exec to the login page on screen, and the anonymous memory of
// the whole process tree with the login screen up, for the client against a floor program (GTK 3
// and one web view showing the same page), alternating in the same run.
//
//   login_bench [OPTIONS] -- CLIENT [ARGS...] -- FLOOR [ARGS...]
//
//   --runs N         measured runs of each program (default 7), after one unmeasured warm-up run
//                    of each (--warmup N to change)
//   --settle-ms MS   how long the screen stays up before memory is read (default 1000)
//   --size WxH       the size of the window that holds the page (default 1237x696)
//   --probe X,Y      a point of that window that the page covers (repeatable; default four
//                    points inside the login view's margins)
//   --color RRGGBB   the page's colour at every probe (default eef3fb, the login page's body)
//   --timeout-s S    give up on a run after this long (default 30)
//
// "Page visible" is the first moment at which, after a window of the given size was mapped,
// the screen (the root window's pixels) shows the page's colour at every probe point, polled
// every millisecond. Mapping alone is not enough: the client maps its login window once the
// document has completed, but the page reaches the screen only with the web engine's first
// frame after that. The map time of that window is reported as well.
//
// Memory is read after the settle time from /proc/PID/smaps_rollup of the program and all its
// descendants (the web engine's web and network processes, and its sandbox helpers): the sum of
// "Anonymous:" and the sum of "Pss:". The program and everything it started are then killed,
// and reaped (this process is their sub-reaper), before the next run starts.
//
// Run it on a display without a window manager, so the programs' windows are the root's
// children and appear where the programs put them.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Options {
  int runs = 7;
  int warmup = 1;
  int settleMs = 1000;
  int width = 1237;
  int height = 696;
  // The login window's view starts at (414, 178) of the window and shows 732 x 425 pixels; the
  // page's box is centred and starts 60 pixels down, so these four lie on the page's body.
  std::vector<std::pair<int, int>> probes;
  unsigned long color = 0xEEF3FB;
  int timeoutS = 30;
};

// ---- Process tree and memory --------------------------------------------------------------

struct ProcMemory {
  pid_t pid = 0;
  std::string name;
  long anonKb = 0;
  long pssKb = 0;
  long rssKb = 0;
};

std::map<pid_t, pid_t> ParentsOfAll() {
  std::map<pid_t, pid_t> parents;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return parents;
  while (dirent* e = readdir(dir)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (*end != '\0' || pid <= 0) continue;
    std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    // The command name is in parentheses and may hold spaces: the fields go on after the last ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    long ppid = 0;
    rest >> state >> ppid;
    parents[static_cast<pid_t>(pid)] = static_cast<pid_t>(ppid);
  }
  closedir(dir);
  return parents;
}

// The process and all its descendants, the process first.
std::vector<pid_t> Tree(pid_t root) {
  const std::map<pid_t, pid_t> parents = ParentsOfAll();
  std::vector<pid_t> tree{root};
  for (std::size_t i = 0; i < tree.size() && tree.size() < 4096; ++i) {
    for (const auto& [pid, ppid] : parents) {
      if (ppid == tree[i]) tree.push_back(pid);
    }
  }
  return tree;
}

ProcMemory ReadMemory(pid_t pid) {
  ProcMemory m;
  m.pid = pid;
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::getline(comm, m.name);
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(in, line)) {
    long* field = nullptr;
    if (line.rfind("Anonymous:", 0) == 0) field = &m.anonKb;
    if (line.rfind("Pss:", 0) == 0) field = &m.pssKb;
    if (line.rfind("Rss:", 0) == 0) field = &m.rssKb;
    if (field != nullptr) *field = std::strtol(line.c_str() + line.find(':') + 1, nullptr, 10);
  }
  return m;
}

// Kills everything this process started, directly or not, and reaps it all (orphans come to
// us, the sub-reaper). Bounded: gives up waiting after ten seconds.
void KillDescendants() {
  const pid_t self = getpid();
  for (int round = 0; round < 3; ++round) {
    for (pid_t p : Tree(self)) {
      if (p != self) kill(p, SIGKILL);
    }
  }
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    const pid_t reaped = waitpid(-1, nullptr, WNOHANG);
    if (reaped < 0 && errno == ECHILD) return;
    if (reaped <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  std::fprintf(stderr, "login_bench: some processes did not end\n");
}

// ---- Screen -------------------------------------------------------------------------------

int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

bool PixelIs(Display* dpy, int x, int y, unsigned long color) {
  XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
  XDestroyImage(image);
  return pixel == color;
}

// ---- One run ----------------------------------------------------------------------------------

struct RunResult {
  bool ok = false;
  double mapMs = -1;
  double visibleMs = -1;
  std::vector<ProcMemory> memory;
  long AnonKb() const {
    long s = 0;
    for (const ProcMemory& m : memory) s += m.anonKb;
    return s;
  }
  long PssKb() const {
    long s = 0;
    for (const ProcMemory& m : memory) s += m.pssKb;
    return s;
  }
};

RunResult RunOnce(Display* dpy, const Options& o, const std::vector<char*>& argv) {
  RunResult r;
  XSync(dpy, True);  // drop old events
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  const auto deadline = start + std::chrono::seconds(o.timeoutS);
  Window page = 0;
  bool exited = false;
  while (Clock::now() < deadline && !exited) {
    while (XPending(dpy) > 0) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type != MapNotify) continue;
      const double at = MsSince(start);
      XWindowAttributes attrs;
      if (XGetWindowAttributes(dpy, ev.xmap.window, &attrs) != 0 && attrs.width == o.width &&
          attrs.height == o.height) {
        page = ev.xmap.window;
        r.mapMs = at;
      }
    }
    if (page != 0) {
      int rx = 0, ry = 0;
      Window child = 0;
      if (XTranslateCoordinates(dpy, page, DefaultRootWindow(dpy), 0, 0, &rx, &ry, &child) != 0) {
        bool all = true;
        for (const auto& [x, y] : o.probes) {
          if (!PixelIs(dpy, rx + x, ry + y, o.color)) {
            all = false;
            break;
          }
        }
        if (all) {
          r.visibleMs = MsSince(start);
          break;
        }
      }
    }
    exited = waitpid(pid, nullptr, WNOHANG) == pid;
    if (!exited) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (r.visibleMs >= 0) {
    const auto settled = Clock::now() + std::chrono::milliseconds(o.settleMs);
    while (Clock::now() < settled && !exited) {
      while (XPending(dpy) > 0) {
        XEvent ev;
        XNextEvent(dpy, &ev);
      }
      exited = waitpid(pid, nullptr, WNOHANG) == pid;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!exited) {
      for (pid_t p : Tree(pid)) r.memory.push_back(ReadMemory(p));
      r.ok = true;
    }
  }
  KillDescendants();  // also whatever an ended program left behind
  // Let the windows go away before the next run.
  XSync(dpy, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  return r;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Series {
  const char* label;
  std::vector<RunResult> runs;
  std::vector<double> Of(double (*f)(const RunResult&)) const {
    std::vector<double> v;
    for (const RunResult& r : runs) v.push_back(f(r));
    return v;
  }
  double Visible() const { return Median(Of([](const RunResult& r) { return r.visibleMs; })); }
  double Mapped() const { return Median(Of([](const RunResult& r) { return r.mapMs; })); }
  double AnonMiB() const {
    return Median(Of([](const RunResult& r) { return r.AnonKb() / 1024.0; }));
  }
  double PssMiB() const {
    return Median(Of([](const RunResult& r) { return r.PssKb() / 1024.0; }));
  }
};

void PrintRun(const char* label, int index, const RunResult& r) {
  std::printf("  %-6s run %2d: mapped %7.1f ms, visible %7.1f ms, anonymous %6.1f MiB, PSS %6.1f MiB, %zu processes\n",
              label, index, r.mapMs, r.visibleMs, r.AnonKb() / 1024.0, r.PssKb() / 1024.0,
              r.memory.size());
  std::fflush(stdout);
}

// Memory of the last run by process name (processes of one name added up).
void PrintBreakdown(const char* label, const RunResult& r) {
  std::map<std::string, std::pair<long, long>> byName;
  std::map<std::string, int> count;
  for (const ProcMemory& m : r.memory) {
    byName[m.name].first += m.anonKb;
    byName[m.name].second += m.pssKb;
    ++count[m.name];
  }
  std::printf("%s, last run, by process:\n", label);
  for (const auto& [name, kb] : byName) {
    std::printf("  %-22s x%d  anonymous %6.1f MiB  PSS %6.1f MiB\n", name.c_str(), count[name],
                kb.first / 1024.0, kb.second / 1024.0);
  }
}

[[noreturn]] void Usage() {
  std::fprintf(stderr,
               "usage: login_bench [--runs N] [--warmup N] [--settle-ms MS] [--size WxH] "
               "[--probe X,Y]... [--color RRGGBB] [--timeout-s S] -- CLIENT [ARGS...] -- FLOOR "
               "[ARGS...]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) Usage();
    const char* v = argv[++i];
    if (a == "--runs") {
      o.runs = std::max(1, std::atoi(v));
    } else if (a == "--warmup") {
      o.warmup = std::max(0, std::atoi(v));
    } else if (a == "--settle-ms") {
      o.settleMs = std::max(0, std::atoi(v));
    } else if (a == "--size") {
      if (std::sscanf(v, "%dx%d", &o.width, &o.height) != 2) Usage();
    } else if (a == "--probe") {
      int x = 0, y = 0;
      if (std::sscanf(v, "%d,%d", &x, &y) != 2) Usage();
      o.probes.emplace_back(x, y);
    } else if (a == "--color") {
      o.color = std::strtoul(v, nullptr, 16) & 0xFFFFFF;
    } else if (a == "--timeout-s") {
      o.timeoutS = std::clamp(std::atoi(v), 1, 600);
    } else {
      Usage();
    }
  }
  if (o.probes.empty()) o.probes = {{434, 198}, {1134, 198}, {434, 578}, {1134, 578}};
  std::vector<char*> client, floor;
  std::vector<char*>* target = nullptr;
  for (; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) {
      target = target == nullptr ? &client : &floor;
      continue;
    }
    target->push_back(argv[i]);
  }
  if (client.empty() || floor.empty()) Usage();
  client.push_back(nullptr);
  floor.push_back(nullptr);

  Display* dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    std::fprintf(stderr, "login_bench: no display\n");
    return 1;
  }
  XSetErrorHandler(IgnoreXErrors);
  XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
  // Everything the programs start is reparented to us when its parent goes, so it can be reaped.
  prctl(PR_SET_CHILD_SUBREAPER, 1);

  std::printf("exec -> login page on screen (#%06lx at %zu points of the %dx%d window); memory after %d ms\n",
              o.color, o.probes.size(), o.width, o.height, o.settleMs);
  for (int w = 0; w < o.warmup; ++w) {
    for (auto* program : {&client, &floor}) {
      const RunResult r = RunOnce(dpy, o, *program);
      if (!r.ok) {
        std::fprintf(stderr, "login_bench: warm-up of %s showed no page\n", (*program)[0]);
        return 1;
      }
    }
  }
  Series a{"client", {}}, b{"floor", {}};
  for (int run = 0; run < o.runs; ++run) {
    for (Series* s : {&a, &b}) {
      const std::vector<char*>& program = s == &a ? client : floor;
      RunResult r = RunOnce(dpy, o, program);
      if (!r.ok) {
        std::fprintf(stderr, "login_bench: %s showed no page (run %d)\n", program[0], run + 1);
        return 1;
      }
      PrintRun(s->label, run + 1, r);
      s->runs.push_back(std::move(r));
    }
  }
  PrintBreakdown("client", a.runs.back());
  PrintBreakdown("floor", b.runs.back());
  std::printf("medians over %d runs each:\n", o.runs);
  for (const Series* s : {&a, &b}) {
    std::printf("  %-6s visible %7.1f ms (mapped %7.1f ms), anonymous %6.1f MiB, PSS %6.1f MiB\n",
                s->label, s->Visible(), s->Mapped(), s->AnonMiB(), s->PssMiB());
  }
  std::printf("ratio client/floor: time to page visible %.2f (goal <= 1.1), anonymous memory %.2f "
              "(goal <= 1.1), PSS %.2f\n",
              a.Visible() / b.Visible(), a.AnonMiB() / b.AnonMiB(), a.PssMiB() / b.PssMiB());
  return 0;
}
