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
