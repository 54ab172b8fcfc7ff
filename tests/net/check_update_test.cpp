// The update check in both modes against a loopback update server, with the message boxes
// answered by a script.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "LoopbackServer.h"
#include "common/CheckUpdate.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "common/UpdateHandOver.h"
#include "platform/system/Crypto.h"
#include "platform/system/EventLog.h"
#include "platform/system/Files.h"
#include "platform/desktop/MessageBox.h"
#include "platform/system/Resources.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kManifestPath = "/gamehome/talmar2/update.txt";
constexpr unsigned kAskUpdate = platform::MB_YESNO | platform::MB_ICONQUESTION;
constexpr unsigned kUpToDate = platform::MB_OK | platform::MB_ICONINFORMATION;

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class CheckUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv(kBaseUrlVariable, server.BaseUrl().c_str(), 1);
    // The highest accepted serial of signed manifests goes to a state folder of the test's own.
    ::setenv("XDG_STATE_HOME", (fs::temp_directory_path() / "check-update-state").c_str(), 1);
    fs::remove_all(fs::temp_directory_path() / "check-update-state");
    platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& r) {
      boxes.push_back(r);
      return answer;
    });
    hooks.startProgram = [this](const std::string& program, const std::string& params) {
      events.push_back("start " + program + " " + params);
      return true;
    };
    hooks.endProcess = [this] { events.push_back("end process"); };
    hooks.setExitFlag = [this](bool v) { events.push_back(v ? "exit flag true" : "exit flag false"); };
    hooks.unloadMainWindow = [this] { events.push_back("unload main window"); };
  }
  void TearDown() override {
    platform::SetMessageBoxResponder({});
    ::unsetenv(kBaseUrlVariable);
    ::unsetenv("XDG_STATE_HOME");
  }

  void Serve(std::string manifest) {
    server.Route(kManifestPath, [manifest](const testsupport::Request&, testsupport::Connection& c) {
      c.SendResponse(200, {{"Content-Type", "text/plain"}}, manifest);
    });
  }
  void Check(UpdateCaller mode) { CheckUpdate(mode, downloader, hooks); }

  std::string Manifest() const { return GetTempDir() + "update.txt"; }
  std::string Updater() const { return GetTempDir() + "Update"; }
  std::string StartLine() const {
    return "start " + Updater() + " " + UpdaterCommandLine(platform::ExecutablePath());
  }

  testsupport::LoopbackServer server;
  std::unique_ptr<COrvDownLoadFile> downloader;
  UpdateCheckHooks hooks;
  std::vector<platform::MessageBoxRequest> boxes;
  std::vector<std::string> events;
  int answer = platform::IDNO;
};

TEST_F(CheckUpdateTest, StartupSameVersionIsSilent) {
  Serve("version=1.1.0\r\nfile|http://127.0.0.1/x\r\n");
  Check(StartupMode);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(ReadAll(Manifest()), "version=1.1.0\r\nfile|http://127.0.0.1/x\r\n");
  EXPECT_FALSE(fs::exists(Updater()));
  ASSERT_TRUE(downloader) << "the window's download object is made on first use";
  COrvDownLoadFile* first = downloader.get();
  Check(StartupMode);
  EXPECT_EQ(downloader.get(), first) << "and kept afterwards";
}

TEST_F(CheckUpdateTest, StartupNewVersionDeclinedGoesOn) {
  Serve("version=1.2.0\r\n");
  Check(StartupMode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "发现有新版本，是否现在更新！");
  EXPECT_EQ(boxes[0].title, "提示");
  EXPECT_EQ(boxes[0].type, kAskUpdate);
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(fs::exists(Updater()));
}

TEST_F(CheckUpdateTest, StartupAcceptedWritesAndStartsTheUpdaterThenEnds) {
  Serve("VERSION=1.0.9\r\n");
  // A stale, longer updater from an earlier run is replaced exactly.
  std::ofstream(Updater(), std::ios::binary) << std::string(4u << 20, 'x');
  answer = platform::IDYES;
  Check(StartupMode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(events, (std::vector<std::string>{StartLine(), "end process"}));
  const auto resource = platform::FindResourceData("UPDATE", 101);
  ASSERT_TRUE(resource);
  EXPECT_EQ(ReadAll(Updater()),
            std::string(reinterpret_cast<const char*>(resource->data()), resource->size()));
}

TEST_F(CheckUpdateTest, ButtonSameVersionSaysSoAndKeepsTheWindow) {
  Serve("version=1.1.0   \r\n");
  Check(ButtonMode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "当前版本已是最新，无需更新！");
  EXPECT_EQ(boxes[0].title, "提示");
  EXPECT_EQ(boxes[0].type, kUpToDate);
  EXPECT_TRUE(events.empty());
}

TEST_F(CheckUpdateTest, ButtonAcceptedSetsExitFlagThenUnloadsTheMainWindow) {
  Serve("version=2.0.0\r\n");
  answer = platform::IDYES;
  Check(ButtonMode);
  EXPECT_EQ(events, (std::vector<std::string>{StartLine(), "exit flag true", "unload main window"}));
}

TEST_F(CheckUpdateTest, ButtonDeclinedChangesNothing) {
  Serve("version=2.0.0\r\n");
  Check(ButtonMode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].type, kAskUpdate);
  EXPECT_TRUE(events.empty());
}

TEST_F(CheckUpdateTest, StaleManifestIsReadWhenTheServerFails) {
  // An earlier run's manifest stays in place when the download fails, and is read.
  std::ofstream(Manifest(), std::ios::binary) << "version=0.9.0\r\n";
  server.Route(kManifestPath, [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(500, {}, "version=1.1.0\r\n");
  });
  Check(StartupMode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].type, kAskUpdate);
  EXPECT_EQ(ReadAll(Manifest()), "version=0.9.0\r\n");
}

TEST_F(CheckUpdateTest, StaleManifestIsReadWhenTheServerIsUnreachable) {
  std::ofstream(Manifest(), std::ios::binary) << "version=0.9.0\r\n";
  ::setenv(kBaseUrlVariable, "http://127.0.0.1:1", 1);  // nothing listens on port 1
  Check(ButtonMode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].type, kAskUpdate);
}

TEST_F(CheckUpdateTest, NothingShownWithoutAManifestOrAVersionLine) {
  ::setenv(kBaseUrlVariable, "http://127.0.0.1:1", 1);
  Check(ButtonMode);
  EXPECT_TRUE(boxes.empty());

  ::setenv(kBaseUrlVariable, server.BaseUrl().c_str(), 1);
  Serve("a|http://127.0.0.1/a\r\nb|http://127.0.0.1/b\r\n");
  Check(ButtonMode);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(events.empty());
}

TEST_F(CheckUpdateTest, OddManifestsPromptOnlyAsTheRulesSay) {
  struct Row {
    std::string body;
    size_t boxes;
  };
  const std::vector<Row> rows = {
      {"version=1.1.0\nfile|http://127.0.0.1/f\n", 1},  // LF only: one long line, differs
      {std::string("\0\0\0\xff\xfe", 5), 0},            // binary, no key
      {"version=1.1.0\r\nversion=9.9.9\r\n", 0},        // only the first line counts
      {std::string(3u << 20, 'v') + "\r\n", 0},         // over the bound: not taken
  };
  for (const Row& row : rows) {
    boxes.clear();
    Serve(row.body);
    Check(StartupMode);
    EXPECT_EQ(boxes.size(), row.boxes) << row.body.substr(0, 40);
  }
  EXPECT_TRUE(events.empty());
}

TEST_F(CheckUpdateTest, ACutOffManifestLeavesThePreviousOneInPlace) {
  std::ofstream(Manifest(), std::ios::binary) << "version=0.9.0\r\n";
  server.Route(kManifestPath, [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendRaw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nversion=1.1.0\r\n");
  });
  Check(StartupMode);
  EXPECT_EQ(ReadAll(Manifest()), "version=0.9.0\r\n");
  for (const auto& entry : fs::directory_iterator(GetTempDir())) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
        << entry.path() << " was left";
  }
  ASSERT_EQ(boxes.size(), 1u) << "the previous manifest is read";
}

// A client directory that cannot be written: no fetch and no question; the menu's check says so.
TEST_F(CheckUpdateTest, AClientDirectoryThatCannotBeWrittenOffersNoUpdate) {
  int fetched = 0;
  server.Route(kManifestPath, [&fetched](const testsupport::Request&, testsupport::Connection& c) {
    ++fetched;
    c.SendResponse(200, {}, "version=2.0.0\r\n");
  });
  hooks.clientDirectory = "/proc";
  Check(StartupMode);
  EXPECT_TRUE(boxes.empty());
  Check(ButtonMode);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "客户端所在目录无法写入，请通过系统的软件包管理器更新。");
  EXPECT_EQ(fetched, 0);
  EXPECT_TRUE(events.empty());
}

TEST_F(CheckUpdateTest, AnUpdaterThatCannotBeWrittenOrStartedIsReportedAndTheClientGoesOn) {
  Serve("version=2.0.0\r\n");
  answer = platform::IDYES;
  for (UpdateCaller mode : {StartupMode, ButtonMode}) {
    // A directory where the updater goes: it cannot be written, and nothing old is started.
    fs::remove_all(Updater());
    fs::create_directories(Updater() + "/in-the-way");
    boxes.clear();
    events.clear();
    Check(mode);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "无法写入更新程序，请稍后再试！");
    EXPECT_TRUE(events.empty()) << "nothing started, nothing ended";
    fs::remove_all(Updater());

    hooks.startProgram = [this](const std::string&, const std::string&) {
      events.push_back("start failed");
      return false;
    };
    boxes.clear();
    events.clear();
    Check(mode);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "无法启动更新程序，请稍后再试！");
    EXPECT_EQ(events, std::vector<std::string>{"start failed"}) << "the client goes on";
    SetUp();
  }
}

TEST_F(CheckUpdateTest, WithAKeyOnlyAManifestSignedWithItIsOffered) {
  const std::string seed(64, '7');
  const std::string otherSeed(64, '3');
  hooks.publicKey = *platform::Ed25519PublicKeyHex(seed);
  std::vector<std::string> log;
  platform::SetEventLogSink([&](std::string_view line) { log.emplace_back(line); });
  auto sign = [](const std::string& text, const std::string& key) {
    return *platform::SignEd25519({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                                  key);
  };
  const std::string manifest =
      "version=2.0.0\r\nproduct=talmar2\r\nserial=3\r\nexpires=2999-01-01T00:00:00Z\r\n";
  struct Row {
    const char* what;
    std::string body;
    std::optional<std::string> signature;  // nothing: the server has none
    std::size_t boxes;
  };
  const std::vector<Row> rows = {
      {"signed", manifest, sign(manifest, seed) + "\n", 1},
      {"unsigned", manifest, std::nullopt, 0},
      {"tampered", manifest + " ", sign(manifest, seed), 0},
      {"signed, without serial and expiry", "version=2.0.0\r\n", sign("version=2.0.0\r\n", seed),
       0},
      {"other key", manifest, sign(manifest, otherSeed), 0},
      {"garbage", manifest, std::string("not a signature"), 0},
  };
  for (const Row& row : rows) {
    fs::remove(Manifest());
    fs::remove(Manifest() + ".sig");
    Serve(row.body);
    const auto signature = row.signature;
    server.Route(std::string(kManifestPath) + ".sig",
                 [signature](const testsupport::Request&, testsupport::Connection& c) {
                   if (signature)
                     c.SendResponse(200, {}, *signature);
                   else
                     c.SendResponse(404, {}, "");
                 });
    boxes.clear();
    log.clear();
    Check(StartupMode);
    EXPECT_EQ(boxes.size(), row.boxes) << row.what;
    EXPECT_EQ(log.size(), 1 - row.boxes) << row.what << ": one log line for a refusal";
  }
  platform::SetEventLogSink({});
}

}  // namespace
