// The web engine is a module loaded for the first web view: showing windows, choosing the
// website-data store and making, hosting and navigating a view (what the client does before
// its splash) must not load it, the main loop running afterwards must, and a module that cannot
// be loaded leaves views that show nothing and never complete.
// This program links no engine itself, so what /proc/self/maps shows is the module's doing.
// Every case runs in a process of its own, which is what makes "first" meaningful here.

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/system/EventLog.h"
#include "platform/webhost/WebBrowser.h"
#include "platform/webhost/WebBrowserHost.h"
#include "platform/webhost/WebData.h"
#include "platform/window/MessageLoop.h"
#include "platform/window/Window.h"

using namespace platform;

namespace {

bool EngineMapped() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find("libwebkit2gtk") != std::string::npos) return true;
  }
  return false;
}

// Whether a process descending from this one runs a program whose name starts with `name`.
bool DescendantRunning(const std::string& name) {
  std::vector<std::pair<int, int>> parents;  // pid, ppid
  std::vector<std::pair<int, std::string>> names;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return false;
  while (dirent* entry = readdir(proc)) {
    const int pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const auto open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    parents.emplace_back(pid, std::atoi(line.c_str() + close + 4));
    names.emplace_back(pid, line.substr(open + 1, close - open - 1));
  }
  closedir(proc);
  for (const auto& [pid, comm] : names) {
    if (comm.rfind(name, 0) != 0) continue;
    for (int p = pid, hops = 0; p > 1 && hops < 16; ++hops) {
      int up = 0;
      for (const auto& [child, parent] : parents) up = child == p ? parent : up;
      if (up == getpid()) return true;
      p = up;
    }
  }
  return false;
}

// Runs the loop until `done` or about `seconds` have passed; the answer is `done()`.
template <typename Pred>
bool PumpUntil(Pred done, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done() && std::chrono::steady_clock::now() < end) {
    DoEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

class WebEngineLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    int argc = 1;
    char name[] = "unit_tests";
    char* args[] = {name, nullptr};
    char** argv = args;
    ASSERT_TRUE(InitToolkit(argc, argv)) << "needs a display (tools/with-desktop.sh)";
    previousSink_ = SetEventLogSink([this](std::string_view line) { log.emplace_back(line); });
    CreateWindowArgs a;
    a.style = WS_POPUP | WS_VISIBLE;
    a.width = 320;
    a.height = 200;
    window = CreateWindowEx(a);
    ASSERT_NE(0u, window);
    DoEvents();
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    SetEventLogSink(previousSink_);
  }

  HWND window = 0;
  std::vector<std::string> log;

 private:
  EventLogSink previousSink_;
};

TEST_F(WebEngineLoad, FirstViewLoadsEngineFromTheLoopNotWindowsOrStoreChoice) {
  ASSERT_FALSE(EngineMapped()) << "the engine was loaded before anything asked for it";
  WebEngineOptions options;
  options.name = "engine-load-test";
  EXPECT_TRUE(InitWebEngine(options));
  DoEvents();
  EXPECT_FALSE(EngineMapped()) << "InitWebEngine must only record the options";

  // Made, hosted, given its page and its settings as the login window does before the splash
  // shows: none of it may load the engine, which comes from the loop.
  WebBrowser browser;
  std::vector<std::string> events;
  browser.OnBeforeNavigate2(
      [&](const std::string& url, bool&) { events.push_back("before:" + url); });
  browser.OnDocumentComplete([&](const std::string& url) { events.push_back("complete:" + url); });
  EXPECT_NE(0u, HostWebBrowser(browser, window, 0, 0, 320, 200));
  browser.SetSilent(true);
  EXPECT_TRUE(browser.Silent());
  browser.Navigate("data:text/html,<p>first</p>");
  browser.Refresh();
  browser.Navigate("data:text/html,<p>loaded</p>");
  browser.SetDocumentElementStyleOverflow("hidden");
  EXPECT_FALSE(EngineMapped()) << "a view must not load the engine before the loop runs";
  EXPECT_EQ("", browser.LocationURL());
  EXPECT_EQ("", browser.DocumentURL());
  EXPECT_TRUE(events.empty());
  // The store is chosen for good once a view exists, loaded or not.
  EXPECT_FALSE(InitWebEngine(options));

  // Events come back through the module: the latest address is the one loaded, and its
  // snapshot is readable.
  ASSERT_TRUE(
      PumpUntil([&] { return !events.empty() && events.back().rfind("complete:", 0) == 0; }, 30));
  EXPECT_TRUE(EngineMapped());
  EXPECT_TRUE(log.empty()) << log.front();
  const std::vector<std::string> expected = {"before:data:text/html,<p>loaded</p>",
                                             "complete:data:text/html,<p>loaded</p>"};
  EXPECT_EQ(expected, events);
  EXPECT_EQ("data:text/html,<p>loaded</p>", browser.DocumentURL());
  EXPECT_NE(std::string::npos, browser.DocumentElementInnerHTML().find("<p>loaded</p>"));
  EXPECT_EQ("data:text/html,<p>loaded</p>", browser.LocationURL());
}

// Started ahead of any view (the client does so before its update check): the engine is loaded
// from the loop, never in front of a first frame, and its network process runs without a view
// or a window of its own; the store is chosen for good, and the first view loads its page with
// what was started.
TEST_F(WebEngineLoad, StartedAheadOfTheFirstView) {
  WebEngineOptions options;
  options.name = "engine-start-test";
  ASSERT_TRUE(InitWebEngine(options));
  StartWebEngine();
  EXPECT_FALSE(EngineMapped()) << "loaded before the loop could draw a frame";
  EXPECT_TRUE(PumpUntil([] { return EngineMapped(); }, 5));
  EXPECT_FALSE(InitWebEngine(options));
  EXPECT_TRUE(PumpUntil([] { return DescendantRunning("WebKitNetwork"); }, 30));
  EXPECT_FALSE(DescendantRunning("WebKitWebProces")) << "no web process before a page loads";
  StartWebEngine();  // again: nothing more

  WebBrowser browser;
  std::string completed;
  browser.OnDocumentComplete([&](const std::string& url) { completed = url; });
  EXPECT_NE(0u, HostWebBrowser(browser, window, 0, 0, 320, 200));
  browser.Navigate("data:text/html,<p>after start</p>");
  ASSERT_TRUE(PumpUntil([&] { return !completed.empty(); }, 30));
  EXPECT_EQ("data:text/html,<p>after start</p>", completed);
  EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(WebEngineLoad, ViewGoneBeforeTheLoopRanNeverLoadsEngine) {
  {
    WebBrowser browser;
    EXPECT_NE(0u, HostWebBrowser(browser, window, 0, 0, 320, 200));
    browser.Navigate("data:text/html,<p>never</p>");
  }
  PumpUntil([] { return false; }, 0.3);
  EXPECT_FALSE(EngineMapped());
  EXPECT_TRUE(log.empty()) << log.front();
}

TEST_F(WebEngineLoad, WebsiteDataCallsLoadEngine) {
  ASSERT_FALSE(EngineMapped());
  // Nothing to remove needs no engine.
  EXPECT_TRUE(RemoveWebData({}, kWebDataAll));
  EXPECT_FALSE(EngineMapped());
  EXPECT_TRUE(FetchWebData().empty());  // a fresh store
  EXPECT_TRUE(EngineMapped());
}

class WebEngineMissing : public WebEngineLoad {
 protected:
  void SetUp() override {
    ::setenv("CLIENT_WEB_MODULE", path, 1);
    WebEngineLoad::SetUp();
  }
  void TearDown() override {
    WebEngineLoad::TearDown();
    ::unsetenv("CLIENT_WEB_MODULE");
  }
  const char* path = "/nonexistent/libno-web-engine.so";
};

TEST_F(WebEngineMissing, ViewsShowNothingAndNeverComplete) {
  int events = 0;
  {
    WebBrowser browser;
    EXPECT_TRUE(log.empty()) << "the engine is looked for from the loop";
    browser.OnBeforeNavigate2([&](const std::string&, bool&) { ++events; });
    browser.OnDownloadBegin([&] { ++events; });
    browser.OnDocumentComplete([&](const std::string&) { ++events; });
    browser.SetSilent(true);
    EXPECT_TRUE(browser.Silent());
    const HWND view = HostWebBrowser(browser, window, 0, 0, 100, 100);
    EXPECT_NE(0u, view) << "a blank view still takes its place";
    browser.Navigate("about:blank");
    browser.Refresh();
    browser.SetDocumentElementStyleOverflow("hidden");
    browser.SetDocumentOnContextMenuReturnsFalse();
    ASSERT_TRUE(PumpUntil([&] { return !log.empty(); }, 30));
    ASSERT_EQ(1u, log.size());
    EXPECT_NE(std::string::npos, log[0].find(path)) << log[0];
    browser.Navigate("about:blank");
    browser.Refresh();
    PumpUntil([] { return false; }, 0.2);
    EXPECT_EQ("", browser.LocationURL());
    EXPECT_EQ("", browser.DocumentURL());
    EXPECT_EQ("", browser.DocumentElementInnerHTML());

    // A second view does not try (or report) again.
    WebBrowser second;
    second.Navigate("about:blank");
    PumpUntil([] { return false; }, 0.2);
    EXPECT_EQ(1u, log.size());
  }
  EXPECT_EQ(0, events);
  EXPECT_TRUE(FetchWebData().empty());
  EXPECT_FALSE(RemoveWebData({"example.org"}, kWebDataCookies));
  EXPECT_FALSE(EngineMapped());
}

// Starting a missing engine says nothing; the first view reports it, once, as it would have.
TEST_F(WebEngineMissing, StartReportsNothingTheFirstViewDoes) {
  int unavailable = 0;
  WebEngineOptions options;
  options.onUnavailable = [&](const std::string&) { ++unavailable; };
  ASSERT_TRUE(InitWebEngine(options));
  StartWebEngine();
  PumpUntil([] { return false; }, 0.2);
  EXPECT_TRUE(log.empty()) << log.front();
  EXPECT_EQ(0, unavailable);
  WebBrowser browser;
  EXPECT_NE(0u, HostWebBrowser(browser, window, 0, 0, 100, 100));
  browser.Navigate("about:blank");
  ASSERT_TRUE(PumpUntil([&] { return !log.empty(); }, 30));
  WebBrowser second;
  second.Navigate("about:blank");
  PumpUntil([] { return false; }, 0.2);
  EXPECT_EQ(1u, log.size());
  EXPECT_EQ(1, unavailable);
  EXPECT_FALSE(EngineMapped());
}

TEST_F(WebEngineMissing, LibraryWithoutEntryIsRefused) {
  // A loadable library that is not the web module.
  path = "libm.so.6";
  ::setenv("CLIENT_WEB_MODULE", path, 1);
  WebBrowser browser;
  EXPECT_NE(0u, HostWebBrowser(browser, window, 0, 0, 100, 100));
  ASSERT_TRUE(PumpUntil([&] { return !log.empty(); }, 30));
  ASSERT_EQ(1u, log.size());
  EXPECT_NE(std::string::npos, log[0].find("libm.so.6")) << log[0];
  EXPECT_FALSE(EngineMapped());
}

}  // namespace
