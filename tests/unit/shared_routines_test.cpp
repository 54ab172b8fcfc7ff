// Settings, the private temporary directory, resources written to files, the version text.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "platform/gdi/Icon.h"
#include "platform/system/EventLog.h"
#include "platform/system/Resources.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string ResourceText(const char* type, int id) {
  auto data = platform::FindResourceData(type, id);
  if (!data) return {};
  return {reinterpret_cast<const char*>(data->data()), data->size()};
}

TEST(AppVersion, ThreeNumbersWithoutPadding) { EXPECT_EQ(AppVersion(), "1.1.0"); }

TEST(Settings, FixedPathsUnderTheOverride) {
  ::setenv(kBaseUrlVariable, "http://127.0.0.1:8123/", 1);
  EXPECT_EQ(UpdateListUrl(), "http://127.0.0.1:8123/gamehome/talmar2/update.txt");
  EXPECT_EQ(LoginPageUrl(), "http://127.0.0.1:8123/games/talmar2/dlq/");
  EXPECT_EQ(GameSpaceUrl(), "http://127.0.0.1:8123/games/talmar2/");
  EXPECT_EQ(HomePageUrl(), "http://127.0.0.1:8123/");
  EXPECT_EQ(ClientCaption(), "ZorvikTalmar2客户端");
}

TEST(Settings, UnsoundOverrideIsIgnoredAndLogged) {
  std::string logged;
  platform::SetEventLogSink([&](std::string_view line) { logged += std::string(line); });
  for (const char* bad : {"file:///etc", "127.0.0.1:80", "http://host/path", "javascript:x"}) {
    ::setenv(kBaseUrlVariable, bad, 1);
    const std::string url = UpdateListUrl();
    EXPECT_EQ(url.find(bad), std::string::npos) << bad;
    EXPECT_TRUE(url.ends_with("/gamehome/talmar2/update.txt"));
    EXPECT_TRUE(url.starts_with("http")) << url;
  }
  EXPECT_NE(logged.find(kBaseUrlVariable), std::string::npos);
  platform::SetEventLogSink({});
  ::unsetenv(kBaseUrlVariable);
}

TEST(GetTempDir, PrivateDirectoryEndingInSlash) {
  const std::string dir = GetTempDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_EQ(dir.find("//"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, ::geteuid());
  EXPECT_EQ(GetTempDir(), dir);  // stable across calls
  EXPECT_EQ(dir.rfind(std::getenv("TMPDIR"), 0), 0u) << "under the system temporary directory";
}

TEST(GetTempDir, LooseModeIsTightened) {
  const std::string dir = GetTempDir();
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(GetTempDir(), dir);
  struct stat st {};
  ::stat(dir.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(GetTempDir, RefusesASymbolicLinkPlantedByOthers) {
  const std::string tmp = std::getenv("TMPDIR");
  const std::string planted = tmp + "/" + GameId + "-" + std::to_string(::geteuid());
  const std::string target = tmp + "/elsewhere";
  fs::create_directories(target);
  fs::create_directory_symlink(target, planted);
  const std::string dir = GetTempDir();
  EXPECT_EQ(dir.rfind(planted, 0), std::string::npos) << dir;
  EXPECT_EQ(dir.rfind(std::getenv("XDG_CACHE_HOME"), 0), 0u) << dir;
}

TEST(GetTempDir, RefusesADirectoryOwnedByAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a directory away";
  const std::string tmp = std::getenv("TMPDIR");
  const std::string planted = tmp + "/" + GameId + "-" + std::to_string(::geteuid());
  fs::create_directories(planted);
  ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
  const std::string dir = GetTempDir();
  EXPECT_EQ(dir.rfind(planted, 0), std::string::npos) << dir;
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
}

TEST(SaveResToFile, WritesExactlyTheResourceOverLongerAndEqualFiles) {
  const std::string expected = ResourceText("ICON", 101);
  ASSERT_FALSE(expected.empty());
  const std::string path = GetTempDir() + "talmar2.ico";

  std::ofstream(path, std::ios::binary) << std::string(expected.size() * 3, 'Z');
  SaveResToFile(101, "ICON", path);
  EXPECT_EQ(ReadAll(path), expected) << "a longer old file must leave no trailing bytes";

  std::ofstream(path, std::ios::binary) << std::string(expected.size(), 'Z');
  SaveResToFile(101, "ICON", path);
  EXPECT_EQ(ReadAll(path), expected);

  fs::remove(path);
  SaveResToFile(101, "ICON", path);
  EXPECT_EQ(ReadAll(path), expected);
  // No temporary file is left beside it.
  int entries = 0;
  for (const auto& e : fs::directory_iterator(GetTempDir())) entries += e.path().filename() != "talmar2.ico";
  EXPECT_EQ(entries, 0);
}

// A handle still owned when the process returns from main (a form left loaded) is released
// after the tables of the drawing layer were made, so by static destruction before them: the
// release must find them intact rather than free their nodes a second time.
TEST(HandleTablesDeathTest, AnIconReleasedAsTheProcessEndsIsReleasedSafely) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string path = GetTempDir() + "exit.ico";
  SaveResToFile(101, "ICON", path);
  EXPECT_EXIT(
      {
        static std::optional<platform::OwnedIcon> held;
        held.emplace(platform::LoadIconFromFile(path, 32));
        std::exit(held->get() != 0 ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  fs::remove(path);
}

TEST(SaveResToFile, FailuresReachTheCaller) {
  EXPECT_THROW(SaveResToFile(101, "ICON", GetTempDir() + "missing-dir/x.ico"), std::system_error);
  EXPECT_THROW(SaveResToFile(999, "ICON", GetTempDir() + "x.ico"), std::runtime_error);
  EXPECT_FALSE(fs::exists(GetTempDir() + "x.ico"));
}

TEST(SaveResToFile, UpdaterIsAProgram) {
  const std::string path = GetTempDir() + "Update";
  SaveResToFile(101, "UPDATE", path);
  const std::string bytes = ReadAll(path);
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x7f" "ELF"));
}

}  // namespace
