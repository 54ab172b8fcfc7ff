// The helpers every layer shares: the one web-address check, the ASCII letter-case helpers and
// the choice of diagnostic channels.

#include "platform/system/AsciiText.h"
#include "platform/system/EventLog.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

TEST(AsciiText, HttpAddresses) {
  const struct {
    const char* url;
    bool http;
  } cases[] = {
      {"http://example.com/", true},
      {"HTTPS://example.com/a?b", true},
      {"hTtP://x", true},
      {"http://", false},
      {"https://", false},
      {"http:", false},
      {"", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"data:text/html,hi", false},
      {"/usr/bin/xterm", false},
      {"httpx://example.com", false},
      {" http://example.com", false},
      {"app://loadgame|http://x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::IsHttpAddress(c.url), c.http) << c.url;
}

TEST(AsciiText, OnlyAsciiLettersChangeCase) {
  // The bytes of UTF-8 text (here "É" and "中") stay as they are.
  EXPECT_EQ(platform::AsciiLowerCase("GaMe \xC3\x89\xE4\xB8\xAD Z@["),
            "game \xC3\x89\xE4\xB8\xAD z@[");
  EXPECT_TRUE(platform::AsciiEqualNoCase("Content-Length", "content-LENGTH"));
  EXPECT_FALSE(platform::AsciiEqualNoCase("\xC3\x89", "\xC3\xA9"));
  EXPECT_FALSE(platform::AsciiEqualNoCase("abc", "abcd"));
}

TEST(LogChannels, ChosenByName) {
  const struct {
    const char* setting;
    bool tabstrip;
  } cases[] = {
      {"", false},
      {"0", false},
      {"1", false},
      {"tabstrip", true},
      {"all", true},
      {"webview,tabstrip", true},
      {"webview tabstrip", true},
      {"controls:tabstrip", true},
      {"tabstrip2", false},
      {"tab", false},
      {",", false},
      {"webview", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::DebugChannelSelected(c.setting, "tabstrip"), c.tabstrip) << c.setting;
  }
}

// A module's event-log lines carry its channel's name, whatever CLIENT_DEBUG says.
TEST(LogChannels, EventLinesCarryTheChannelsName) {
  ::unsetenv(platform::kDebugVariable);
  std::string logged;
  const platform::EventLogSink previous =
      platform::SetEventLogSink([&](std::string_view line) { logged += std::string(line) + "\n"; });
  platform::LogChannel("updater").Event("cannot start /x");
  platform::SetEventLogSink(previous);
  EXPECT_EQ(logged, "updater: cannot start /x\n");
}

// Text from outside (a page's command, a server's answer) cannot break a log line or reach a
// terminal as a control sequence, on any of the log's outputs; UTF-8 text stays readable.
TEST(LogChannels, ControlCharactersAreEscaped) {
  const struct {
    std::string_view text;
    const char* shown;
  } cases[] = {
      {"app://exitgame|\n\x1b[2J\x1b]0;title\x07",
       "app://exitgame|\\x0a\\x1b[2J\\x1b]0;title\\x07"},
      {"a\rb\tc\x7f", "a\\x0db\\x09c\\x7f"},
      {std::string_view("nul\0", 4), "nul\\x00"},
      {"csi \xC2\x9B"
       "31m nbsp\xC2\xA0",
       "csi \\u009b31m nbsp\xC2\xA0"},
      {"未能连接到服务器 \xE2\x80\x9B", "未能连接到服务器 \xE2\x80\x9B"},
      {"\xC2", "\xC2"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::EscapeControls(c.text), c.shown) << c.shown;

  std::string logged;
  const platform::EventLogSink previous =
      platform::SetEventLogSink([&](std::string_view line) { logged += line; });
  platform::LogChannel("login").Event("ignored: app://minimize|\n\x1b[31mforged");
  platform::SetEventLogSink(previous);
  EXPECT_EQ(logged, "login: ignored: app://minimize|\\x0a\\x1b[31mforged");
}

// Started programs' complaints about buses stay off the terminal; their other lines and the
// program's own lines reach it.
TEST(StandardErrorFilter, DropsOnlyTheBusNoise) {
  char path[] = "/tmp/stderr-filter-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(fd, STDERR_FILENO);
    platform::FilterStandardError(platform::IsWebProcessNoise);
    platform::TellUser("own line");
    const int rc = std::system(
        "echo 'Failed to connect to bus: Could not parse server address' >&2;"
        "echo \"** (WebKitWebProcess:1): WARNING **: Can't connect to a11y bus\" >&2;"
        "echo 'other line' >&2");
    ::usleep(300 * 1000);
    ::_exit(rc == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(child, ::waitpid(child, &status, 0));
  EXPECT_EQ(0, status);
  std::ifstream in(path);
  const std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::close(fd);
  ::unlink(path);
  EXPECT_NE(std::string::npos, seen.find(": own line\n")) << seen;
  EXPECT_NE(std::string::npos, seen.find("other line\n")) << seen;
  EXPECT_EQ(std::string::npos, seen.find("bus")) << seen;
}

}  // namespace
