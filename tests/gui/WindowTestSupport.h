#pragma once

// Shared by the window tests: a procedure that records what a window receives, bounded waits
// that keep the main loop running, real input through xdotool and screen pixels through
// ImageMagick's import.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MainLoop.h"
#include "platform/gdi/Image.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"

namespace wintest {

using namespace platform;

struct Msg {
  HWND hwnd = 0;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  friend bool operator==(const Msg&, const Msg&) = default;
};

inline std::string MsgName(UINT m) {
  switch (m) {
    case WM_CREATE: return "WM_CREATE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_MOVE: return "WM_MOVE";
    case WM_SIZE: return "WM_SIZE";
    case WM_SETFOCUS: return "WM_SETFOCUS";
    case WM_KILLFOCUS: return "WM_KILLFOCUS";
    case WM_PAINT: return "WM_PAINT";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_ERASEBKGND: return "WM_ERASEBKGND";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_ENABLE:
      return "WM_ENABLE";
    case WM_SETTINGCHANGE: return "WM_SETTINGCHANGE";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case WM_NCLBUTTONDOWN: return "WM_NCLBUTTONDOWN";
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_KEYUP: return "WM_KEYUP";
    case WM_CHAR: return "WM_CHAR";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    case WM_MOUSEMOVE: return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    case WM_LBUTTONDBLCLK: return "WM_LBUTTONDBLCLK";
    case WM_RBUTTONDOWN: return "WM_RBUTTONDOWN";
    case WM_RBUTTONUP: return "WM_RBUTTONUP";
    case WM_CAPTURECHANGED: return "WM_CAPTURECHANGED";
    case WM_MOUSELEAVE: return "WM_MOUSELEAVE";
    default: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%04X", m);
      return buf;
    }
  }
}

inline std::string Describe(const std::vector<Msg>& msgs) {
  std::ostringstream out;
  for (const Msg& m : msgs) {
    out << "  " << std::hex << "0x" << m.hwnd << std::dec << " " << MsgName(m.msg) << " wParam=0x"
        << std::hex << m.wParam << " lParam=0x" << static_cast<unsigned long>(m.lParam) << std::dec
        << "\n";
  }
  return out.str();
}

// Compares a recorded sequence with the expected one and prints both when they differ.
inline ::testing::AssertionResult SameSequence(const std::vector<Msg>& expected,
                                               const std::vector<Msg>& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected:\n" << Describe(expected) << "actual:\n"
                                       << Describe(actual);
}

// Every message of the windows it is attached to, in order; each window ends in DefWindowProc.
class Recorder {
 public:
  std::vector<Msg> all;
  // Runs before the default for each message; may handle it by returning a value.
  std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)> hook;

  WindowProcFn Proc() {
    return [this](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
      all.push_back(Msg{h, m, w, l});
      LRESULT r = 0;
      if (hook && hook(h, m, w, l, r)) return r;
      return DefWindowProc(h, m, w, l);
    };
  }

  // The messages among `kinds`, with runs of WM_MOUSEMOVE to one window collapsed to the last.
  std::vector<Msg> Only(std::initializer_list<UINT> kinds, HWND hwnd = 0) const {
    std::vector<Msg> out;
    for (const Msg& m : all) {
      if (hwnd != 0 && m.hwnd != hwnd) continue;
      if (std::find(kinds.begin(), kinds.end(), m.msg) == kinds.end()) continue;
      if (m.msg == WM_MOUSEMOVE && !out.empty() && out.back().msg == WM_MOUSEMOVE &&
          out.back().hwnd == m.hwnd) {
        out.back() = m;
        continue;
      }
      out.push_back(m);
    }
    return out;
  }
  bool Saw(HWND h, UINT msg) const {
    return std::any_of(all.begin(), all.end(), [&](const Msg& m) { return m.hwnd == h && m.msg == msg; });
  }
  void Clear() { all.clear(); }
};

// Keeps the main loop running until `done` holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  return testsupport::RunUntil(done, std::chrono::milliseconds(timeoutMs));
}

// Lets the loop and the X server settle for a bounded time (for checks that nothing more came).
inline void Settle(int ms = 300) {
  WaitFor([] { return false; }, ms);
}

inline int Shell(const std::string& command) { return std::system(command.c_str()); }

inline std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    ::pclose(p);
  }
  return out;
}

// Where the window manager really has the window with this title (its top-left corner on the
// screen), asked of the X server; {-1, -1} when it is not found. The tests place the pointer
// from this rather than from the window layer's own record of the geometry.
inline POINT RealOrigin(const std::string& title) {
  const std::string out = Output("xdotool search --name '^" + title + "$' getwindowgeometry --shell 2>/dev/null");
  POINT p{-1, -1};
  const auto x = out.find("X="), y = out.find("Y=");
  if (x == std::string::npos || y == std::string::npos) return p;
  p.x = std::atoi(out.c_str() + x + 2);
  p.y = std::atoi(out.c_str() + y + 2);
  return p;
}

// Real input through the X server; the loop runs while xdotool works, so GTK answers at once.
inline void Xdotool(const std::string& args) {
  ASSERT_EQ(0, Shell("xdotool " + args)) << "xdotool " << args;
  DoEvents();
}

// Pixels of the screen (x, y, w, h).
inline Image Screenshot(int x, int y, int w, int h) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/shot.png";
  std::ostringstream cmd;
  cmd << "import -window root -crop " << w << "x" << h << "+" << x << "+" << y << " +repage png:"
      << path;
  if (Shell(cmd.str()) != 0) return Image();
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Image::FromPng(bytes);
}

inline bool Near(std::uint32_t argb, std::uint32_t rgb, int tolerance = 8) {
  for (int shift : {0, 8, 16}) {
    const int a = static_cast<int>((argb >> shift) & 0xFF);
    const int b = static_cast<int>((rgb >> shift) & 0xFF);
    if (std::abs(a - b) > tolerance) return false;
  }
  return true;
}

// Takes screenshots until `check` accepts one (the loop keeps running in between).
inline bool WaitForScreen(int x, int y, int w, int h, const std::function<bool(const Image&)>& check,
                          int timeoutMs = 5000) {
  bool ok = false;
  WaitFor(
      [&] {
        Image shot = Screenshot(x, y, w, h);
        ok = !shot.IsNull() && check(shot);
        return ok;
      },
      timeoutMs);
  return ok;
}

// The screen pixels of a window as they are now.
inline Image ShotOf(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return Screenshot(r.left, r.top, r.Width(), r.Height());
}
// How many pixels differ between two screenshots of one size (all of them when the sizes do).
inline int DifferingPixels(const Image& a, const Image& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return a.Width() * a.Height() + 1;
  int n = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) n += a.PixelAt(x, y) != b.PixelAt(x, y) ? 1 : 0;
  }
  return n;
}

// 0x00BBGGRR as the screen shows it, 0xRRGGBB.
constexpr std::uint32_t Rgb(std::uint32_t colorref) {
  return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

class ToolkitEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    int argc = 1;
    char name[] = "gui_tests";
    char* args[] = {name, nullptr};
    char** argv = args;
    ASSERT_TRUE(InitToolkit(argc, argv)) << "these tests need a display (tools/with-desktop.sh)";
  }
};

// A top-level window with the recorder's procedure.
inline HWND TopLevel(Recorder& rec, int x, int y, int w, int h, std::uint32_t back = 0x00FFFFFF,
                     const std::string& title = "window test", DWORD exStyle = 0) {
  CreateWindowArgs a;
  a.title = title;
  a.style = WS_POPUP;
  a.exStyle = exStyle;
  a.x = x;
  a.y = y;
  a.width = w;
  a.height = h;
  a.backColor = back;
  a.proc = rec.Proc();
  return CreateWindowEx(a);
}

inline HWND Child(Recorder& rec, HWND parent, int x, int y, int w, int h,
                  std::uint32_t back = 0x00FFFFFF) {
  CreateWindowArgs a;
  a.style = WS_CHILD | WS_VISIBLE;
  a.parent = parent;
  a.x = x;
  a.y = y;
  a.width = w;
  a.height = h;
  a.backColor = back;
  a.proc = rec.Proc();
  return CreateWindowEx(a);
}

// Shows the window and waits until it has painted (it is mapped on the screen then).
inline bool ShowAndWait(Recorder& rec, HWND h) {
  ShowWindow(h, SW_SHOW);
  return WaitFor([&] { return rec.Saw(h, WM_PAINT); });
}

// Moves the pointer out of the way, where no test places a window.
inline void PointerAway() { Xdotool("mousemove 1270 790"); }

}  // namespace wintest
