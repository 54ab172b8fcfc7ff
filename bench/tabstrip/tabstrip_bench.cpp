// Tab strip drawing cost: DrawTabs, a full RedrawAll, a full RedrawAll handed to the screen, and
// a hover repaint, with 1, 10 and 50 tabs in both styles, as time per call and as a share of a
// 60 Hz frame (16.7 ms). Each case is timed in rounds that alternate with a peer measured in the
// same run: a plain cairo fill of the strip's area (one full-width blit's worth of pixels), so
// the ratio case/peer stays comparable when the machine's speed drifts.
//
//   tabstrip_bench [--width W] [--rounds N] [--batch-ms MS] [--tabs 1,10,50]
//
// It needs a display (the strip is a window): run it with run.sh, which starts a private Xvfb.
//
//   DrawTabs            the tabs over the background buffer, the frame composed and copied to
//                       the window (DrawTabs(true), as every caller draws)
//   RedrawAll           the background from the skin and then DrawTabs (the strip's refresh)
//   RedrawAll+present   the same, then the window's pending paint done at once (UpdateWindow):
//                       WM_PAINT's copy of the frame and the toolkit's frame to the X server
//   hover               WM_MOUSEMOVE from one tab to the next, through the strip's own mouse
//                       handling: hit test, mouse tracking, events, DrawTabs (with one tab, from
//                       the tab to the empty tab area and back)
//   move, no repaint    WM_MOUSEMOVE between two points of the same tab: the same handling
//                       without the repaint
//
// A last line gives the pointer query that the mouse tracking makes on every move, on its own.
//
// The pointer is put over the strip first, as it is while the user hovers over the tabs: the
// strip's mouse tracking asks where the pointer is on every move, and a pointer elsewhere would
// end the hover at the next message.

#include <X11/Xlib.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/PropertyBag.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"
#include "tabstrip/CTabItems.h"
#include "tabstrip/ITabForm.h"
#include "tabstrip/uTab.h"

using namespace platform;

// DrawTabs is the strip's own business; the benchmark reaches it through an explicit
// instantiation, where access is not checked, rather than by widening the strip's interface.
namespace {

struct DrawTabsMember {
  using type = void (uTab::*)(bool);
  friend type Member(DrawTabsMember);
};

template <typename Tag, typename Tag::type M>
struct Reach {
  friend typename Tag::type Member(Tag) { return M; }
};

}  // namespace

template struct Reach<DrawTabsMember, &uTab::DrawTabs>;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFrameMs = 1000.0 / 60.0;

// A page on a plain window: the strip moves it into its container and shows and hides it.
class Page : public ITabForm {
 public:
  Page() {
    CreateWindowArgs a;
    a.style = WS_CAPTION | WS_THICKFRAME;
    a.width = 100;
    a.height = 100;
    a.backColor = RGB(255, 255, 255);
    m_hwnd = CreateWindowEx(a);
  }
  ~Page() override { Unload(); }
  HWND hWnd() override { return m_hwnd; }
  void Initialize(IuTab*, std::weak_ptr<CTabItem>) override {}
  void RefreshPage() override {}
  void Unload() override {
    if (IsWindow(m_hwnd)) DestroyWindow(m_hwnd);
  }

 private:
  HWND m_hwnd = 0;
};

// Captions as the client's tabs carry them: page titles, Chinese and Latin mixed, most of them
// longer than a narrow tab (the ellipsis path) once there are many tabs.
std::string Caption(int i) {
  static const char* const titles[] = {"天域 %d 区 - 游戏页面", "Game Center %d", "游戏中心 %d",
                                       "Talmar2 server %d 演示"};
  char buf[96];
  std::snprintf(buf, sizeof buf, titles[i % 4], i + 1);
  return buf;
}

struct Options {
  int width = 1036;  // the main window's width
  int rounds = 15;
  double batchMs = 4;
  std::vector<int> tabs{1, 10, 50};
};

// Per-call times of one case and of the peer, from alternating rounds.
struct Result {
  double meanUs = 0;    // all calls' time over all calls
  double medianUs = 0;  // median of the rounds' per-call means
  double peerMeanUs = 0;
  double peerMedianUs = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double TimeBatch(const std::function<void()>& f, long calls) {
  const auto start = Clock::now();
  for (long i = 0; i < calls; ++i) f();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Calls in a batch of about batchMs, at least one, at most 100000.
long Calibrate(const std::function<void()>& f, double batchMs) {
  long calls = 1;
  for (int i = 0; i < 20; ++i) {
    const double us = TimeBatch(f, calls);
    if (us >= batchMs * 1000 || calls >= 100000) break;
    const double want = batchMs * 1000 / std::max(us / calls, 0.01);
    calls = std::clamp(static_cast<long>(want * 1.1) + 1, calls + 1, 100000L);
  }
  return calls;
}

Result Measure(const Options& o, const std::function<void()>& f, const std::function<void()>& peer) {
  f();  // warm: fonts, glyph caches
  peer();
  DoEvents();
  const long calls = Calibrate(f, o.batchMs);
  const long peerCalls = Calibrate(peer, o.batchMs);
  std::vector<double> rounds, peerRounds;
  double total = 0, peerTotal = 0;
  for (int r = 0; r < o.rounds; ++r) {
    const double us = TimeBatch(f, calls);
    const double peerUs = TimeBatch(peer, peerCalls);
    rounds.push_back(us / calls);
    peerRounds.push_back(peerUs / peerCalls);
    total += us;
    peerTotal += peerUs;
    // What the calls queued (paints of the strip's window) is done between rounds, as the
    // message loop would do it between frames.
    DoEvents();
  }
  Result res;
  res.meanUs = total / (static_cast<double>(calls) * o.rounds);
  res.medianUs = Median(rounds);
  res.peerMeanUs = peerTotal / (static_cast<double>(peerCalls) * o.rounds);
  res.peerMedianUs = Median(peerRounds);
  return res;
}

// The peer: a plain cairo fill of the strip's area on a surface like the strip's buffers.
class FillPeer {
 public:
  FillPeer(int width, int height)
      : m_surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height)),
        m_cr(cairo_create(m_surface)),
        m_width(width),
        m_height(height) {}
  ~FillPeer() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
  }
  FillPeer(const FillPeer&) = delete;
  FillPeer& operator=(const FillPeer&) = delete;
  void operator()() {
    m_flip = !m_flip;
    cairo_set_source_rgb(m_cr, m_flip ? 0.9 : 0.8, 0.85, 0.95);
    cairo_rectangle(m_cr, 0, 0, m_width, m_height);
    cairo_fill(m_cr);
    cairo_surface_flush(m_surface);
  }

 private:
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
  int m_width;
  int m_height;
  bool m_flip = false;
};

struct Bench {
  Options o;
  HWND form = 0;
  HWND container = 0;
  std::unique_ptr<uTab> strip;

  void MakeStrip(int style, int tabs) {
    controls::PropertyBag design;
    design.WriteProperty("TabStyle", style);
    design.WriteProperty("TabLeftSize", 10);
    design.WriteProperty("TabRightSize", 0);
    uTabCreateArgs args;
    args.parent = form;
    args.width = o.width;
    args.properties = &design;
    strip = std::make_unique<uTab>(args);
    strip->hContainerWnd(container);
    strip->LockReDraw(false);
    for (int i = 0; i < tabs; ++i) strip->TabItems().Add(Caption(i), std::make_shared<Page>());
    strip->Selected(0);
    for (int i = 0; i < 20; ++i) DoEvents();
  }

  // Points of the strip, one per tab, on the tab and off its close button; with one tab, the
  // tab and the empty tab area after it.
  std::vector<std::pair<int, int>> HoverPoints(int tabs) const {
    std::vector<std::pair<int, int>> points;
    constexpr int y = 12;
    for (int i = 0; i < tabs; ++i) {
      for (int x = 0; x < o.width; ++x) {
        const tablayout::Hit hit = strip->HitTest(static_cast<float>(x), y);
        if (hit.index == i && !hit.close) {
          points.emplace_back(x + 2, y);
          break;
        }
      }
    }
    if (tabs == 1) {
      for (int x = o.width - 1; x > 0; --x) {
        if (strip->HitTest(static_cast<float>(x), y).index == tablayout::kHitNoTab) {
          points.emplace_back(x, y);
          break;
        }
      }
    }
    return points;
  }
};

void PrintRow(int style, int tabs, const char* name, const Result& r) {
  std::printf("%5d %5d  %-18s %10.1f %10.1f %8.3f %%  %9.2f %8.1f\n", style, tabs, name, r.meanUs,
              r.medianUs, r.meanUs / (kFrameMs * 1000) * 100, r.peerMedianUs,
              r.medianUs / r.peerMedianUs);
  std::fflush(stdout);
}

[[noreturn]] void Usage() {
  std::fprintf(stderr, "usage: tabstrip_bench [--width W] [--rounds N] [--batch-ms MS] [--tabs 1,10,50]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Bench b;
  Options& o = b.o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) Usage();
    const char* v = argv[++i];
    if (a == "--width") {
      o.width = std::clamp(std::atoi(v), 200, 4000);
    } else if (a == "--rounds") {
      o.rounds = std::clamp(std::atoi(v), 1, 1000);
    } else if (a == "--batch-ms") {
      o.batchMs = std::clamp(std::atof(v), 0.1, 1000.0);
    } else if (a == "--tabs") {
      o.tabs.clear();
      for (const char* p = v; *p != '\0';) {
        char* end = nullptr;
        o.tabs.push_back(std::clamp(static_cast<int>(std::strtol(p, &end, 10)), 1, 500));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p != '\0') Usage();
      }
    } else {
      Usage();
    }
  }
  int targc = 1;
  char name[] = "tabstrip_bench";
  char* targs[] = {name, nullptr};
  char** targv = targs;
  if (!InitToolkit(targc, targv)) {
    std::fprintf(stderr, "tabstrip_bench: no display\n");
    return 1;
  }

  CreateWindowArgs f;
  f.title = "tab strip bench";
  f.style = WS_POPUP | WS_CLIPCHILDREN;
  f.x = 0;
  f.y = 0;
  f.width = o.width;
  f.height = 300;
  f.backColor = RGB(0x24, 0x4F, 0xA6);
  b.form = CreateWindowEx(f);
  CreateWindowArgs c;
  c.style = WS_CHILD | WS_VISIBLE;
  c.parent = b.form;
  c.y = 40;
  c.width = o.width;
  c.height = 260;
  c.backColor = RGB(255, 255, 255);
  b.container = CreateWindowEx(c);
  ShowWindow(b.form, SW_SHOW);
  for (int i = 0; i < 50; ++i) DoEvents();
  // Without a window manager the form stays at (0, 0): the strip's middle, on its tab row.
  if (Display* dpy = XOpenDisplay(nullptr)) {
    XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, o.width / 2, 12);
    XSync(dpy, False);
    XCloseDisplay(dpy);
  }
  for (int i = 0; i < 50; ++i) DoEvents();

  const auto drawTabs = Member(DrawTabsMember{});
  std::printf("tab strip %d px wide; %% of a %.1f ms frame; peer: cairo fill of the strip's area; "
              "ratio = median/peer median, %d rounds\n",
              o.width, kFrameMs, o.rounds);
  std::printf("%5s %5s  %-18s %10s %10s %10s  %9s %8s\n", "style", "tabs", "case", "mean us",
              "median us", "frame", "peer us", "ratio");
  std::vector<std::pair<int, double>> fullRedraw50;
  for (int style : {0, 1}) {
    const int height = tablayout::Metrics(style).stripHeight;
    FillPeer fill(o.width, height);
    const std::function<void()> peer = [&fill] { fill(); };
    for (int tabs : o.tabs) {
      b.MakeStrip(style, tabs);
      uTab& strip = *b.strip;
      const Result draw = Measure(o, [&] { (strip.*drawTabs)(true); }, peer);
      PrintRow(style, tabs, "DrawTabs", draw);
      const Result redraw = Measure(o, [&] { strip.refresh(); }, peer);
      PrintRow(style, tabs, "RedrawAll", redraw);
      if (tabs == 50) fullRedraw50.emplace_back(style, redraw.meanUs);
      const Result present = Measure(o, [&] {
        strip.refresh();
        UpdateWindow(strip.hWnd());
      }, peer);
      PrintRow(style, tabs, "RedrawAll+present", present);

      const std::vector<std::pair<int, int>> points = b.HoverPoints(tabs);
      if (points.size() < 2) {
        std::fprintf(stderr, "tabstrip_bench: no two hover points with %d tabs\n", tabs);
        return 1;
      }
      std::size_t next = 0;
      long moves = 0, repaints = 0;
      const Result hover = Measure(o, [&] {
        const std::int32_t before = strip.HoverIndex();
        const auto [x, y] = points[next];
        next = (next + 1) % points.size();
        SendMessage(strip.hWnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        ++moves;
        if (strip.HoverIndex() != before) ++repaints;
      }, peer);
      PrintRow(style, tabs, "hover", hover);
      // Every move must have found another tab, or the row measured moves without a repaint.
      if (repaints + 1 < moves) {
        std::fprintf(stderr, "tabstrip_bench: only %ld of %ld moves changed the hover\n", repaints,
                     moves);
        return 1;
      }

      // Two points of the first tab, the hover and the close state the same at both.
      const auto [x0, y0] = points[0];
      const tablayout::Hit at = strip.HitTest(static_cast<float>(x0), static_cast<float>(y0));
      const tablayout::Hit beside =
          strip.HitTest(static_cast<float>(x0 + 1), static_cast<float>(y0));
      if (at != beside) {
        std::fprintf(stderr, "tabstrip_bench: the first tab is too narrow to move within\n");
        return 1;
      }
      int step = 0;
      const Result still = Measure(o, [&] {
        step ^= 1;
        SendMessage(strip.hWnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x0 + step, y0));
      }, peer);
      PrintRow(style, tabs, "move, no repaint", still);
      b.strip.reset();
      for (int i = 0; i < 20; ++i) DoEvents();
    }
  }
  // Every move without a button asks where the pointer is and which window is under it (the
  // strip's mouse tracking, for its leave notification): X server round trips, the bulk of a
  // move that repaints nothing.
  {
    FillPeer fill(o.width, tablayout::Metrics(0).stripHeight);
    const Result query = Measure(o, [] {
      POINT pt;
      if (GetCursorPos(&pt)) WindowFromPoint(pt);
    }, [&fill] { fill(); });
    std::printf("pointer query of every move (GetCursorPos + WindowFromPoint): mean %.1f us, "
                "median %.1f us\n",
                query.meanUs, query.medianUs);
  }
  for (const auto& [style, us] : fullRedraw50) {
    std::printf("full redraw of 50 tabs, style %d: %.3f ms = %.2f %% of a frame (goal <= 2 %%)\n",
                style, us / 1000, us / (kFrameMs * 1000) * 100);
  }
  DestroyWindow(b.form);
  return 0;
}
