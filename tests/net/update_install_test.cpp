// The updater's fetch and install step without its window, against a loopback server.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "LoopbackServer.h"
#include "common/UpdateInstall.h"

namespace fs = std::filesystem;

namespace {

TEST(UpdateInstallTest, WhatInstallsNothing) {
  testsupport::LoopbackServer server;
  // Announced one byte over the cap: refused before a byte is written.
  server.Route("/big", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendRaw("HTTP/1.1 200 OK\r\nContent-Length: 1073741825\r\n\r\nxxxx");
  });
  server.Route("/small", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(200, {}, "new");
  });
  const fs::path dir = fs::temp_directory_path() / ("install-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "small") << "old";
  const std::string manifest = (dir / "update.txt").string();
  struct Row {
    const char* what;
    std::string text;
  };
  const Row rows[] = {
      {"over the cap",
       "version=2\r\nsmall|" + server.Url("/small") + "\r\nbig|" + server.Url("/big") + "\r\n"},
      {"a version line and no file lines", "version=2\r\n"},
  };
  for (const Row& row : rows) {
    std::ofstream(manifest, std::ios::binary) << row.text;
    std::string caption;
    std::int64_t largest = 0;  // the largest length taken for a download
    UpdateInstall::View view;
    view.caption = [&caption](const std::string& text) { caption = text; };
    view.fileSize = [&largest](std::int64_t size) { largest = std::max(largest, size); };
    UpdateInstall run({dir.string(), (dir / "client").string()}, manifest, "", view);
    EXPECT_EQ(run.Run(), UpdateInstall::Outcome::Failed) << row.what;
    EXPECT_FALSE(caption.empty()) << row.what;
    EXPECT_LE(largest, UpdateInstall::kMaxUpdateFileBytes) << row.what;
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
      ++entries;
      EXPECT_TRUE(e.path().filename() == "small" || e.path().filename() == "update.txt")
          << row.what << ": " << e.path();
    }
    EXPECT_EQ(entries, 2u) << row.what;
    std::ifstream small(dir / "small");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(small), {}), "old") << row.what;
  }
  fs::remove_all(dir);
}

// A file line's size caps that file's download, and the whole update has a deadline (its floor
// shortened for the test): a body announced over its size and a trickle both install nothing.
TEST(UpdateInstallTest, SizesCapTheDownloadsAndTheUpdateHasADeadline) {
  testsupport::LoopbackServer server;
  server.Route("/oversize", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendResponse(200, {}, std::string(4096, 'x'));
  });
  // 40 bytes, one every 100 ms: 4 s, against a deadline of 1 s.
  server.Route("/trickle", [](const testsupport::Request&, testsupport::Connection& c) {
    c.SendHead(200, {{"Content-Length", "40"}});
    for (int i = 0; i < 40 && c.SendRaw("x") && c.Pause(std::chrono::milliseconds(100)); ++i) {
    }
  });
  const fs::path dir = fs::temp_directory_path() / ("sizes-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string manifest = (dir / "update.txt").string();
  const std::pair<const char*, std::string> rows[] = {
      {"over its size", "version=2\r\noversize|" + server.Url("/oversize") + "||16\r\n"},
      {"a trickle", "version=2\r\ntrickle|" + server.Url("/trickle") + "||40\r\n"},
  };
  for (const auto& [what, text] : rows) {
    std::ofstream(manifest, std::ios::binary) << text;
    UpdateInstall run({dir.string(), (dir / "client").string()}, manifest, "", {});
    run.SetDeadlineFloor(1);
    EXPECT_EQ(run.Run(), UpdateInstall::Outcome::Failed) << what;
    for (const auto& e : fs::directory_iterator(dir)) {
      EXPECT_EQ(e.path().filename(), "update.txt") << what << ": " << e.path();
    }
  }
}

}  // namespace
