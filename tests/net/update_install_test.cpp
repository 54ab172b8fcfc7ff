// The updater's fetch and install step without its window, against a loopback server.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
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

}  // namespace
