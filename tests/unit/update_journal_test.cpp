// The update journal's recovery: who holds a journal, an undo stopped half-way, and a journal
// that cannot be read.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "common/UpdateInstall.h"
#include "common/UpdateJournal.h"
#include "platform/system/Process.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

class UpdateJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("journal-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "bin");
    // A program that goes by the updater's name: a copy of sleep.
    fs::copy_file("/bin/sleep", dir / "bin" / kUpdaterProgramName);
  }
  void TearDown() override {
    for (pid_t pid : children) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    fs::remove_all(dir);
  }

  pid_t Start(const std::string& program) {
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("1000"), nullptr};
    pid_t pid = 0;
    EXPECT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    children.push_back(pid);
    // Until it runs the program (a process just made still runs the test's).
    for (int i = 0; i < 500; ++i) {
      const auto facts = platform::ProcessInfo(pid);
      if (facts && facts->name == fs::path(program).filename()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pid;
  }

  static std::string Read(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Put(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name) << text;
  }

  // One file of an update whose journal's first line is `header`, not yet put in place.
  void WriteJournal(const std::string& header) {
    Put("data", "old");
    Put(".talmar2-update-aaaaaa", "new");
    Put(kJournalName, header + "\n.talmar2-update-aaaaaa\tdata\t.talmar2-update-aaaaaa-old\t1\n");
  }

  fs::path dir;
  std::vector<pid_t> children;
};

// The journal is left alone only while the very updater that wrote it runs.
TEST_F(UpdateJournalTest, OnlyTheLiveUpdaterThatWroteItHoldsTheJournal) {
  const std::string updater = (dir / "bin" / kUpdaterProgramName).string();
  const pid_t live = Start(updater);
  const pid_t other = Start("/bin/sleep");
  const pid_t zombie = Start(updater);
  const std::string zombieHeader = UpdateJournal::Header(zombie);
  ::kill(zombie, SIGKILL);
  for (int i = 0; i < 500; ++i) {
    const auto facts = platform::ProcessInfo(zombie);
    if (facts && facts->zombie) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(platform::ProcessInfo(zombie)->zombie) << "killed, not collected";
  const std::string liveHeader = UpdateJournal::Header(live);
  std::string otherBoot = liveHeader;
  otherBoot[otherBoot.find(' ', otherBoot.find(std::to_string(live))) + 1] ^= 1;
  const std::string earlier = "talmar2-update-journal 1 ";
  struct Row {
    const char* what;
    std::string header;
    bool ageJournal = false;  // written an hour ago (a form-1 journal is dated by its file)
    bool busy;
  };
  const Row rows[] = {
      {"the live updater", liveHeader, false, true},
      {"its id after a restart of the system", otherBoot, false, false},
      {"a zombie", zombieHeader, false, false},
      {"an id reused by another program", UpdateJournal::Header(other), false, false},
      {"earlier form, the live updater", earlier + std::to_string(live), false, true},
      {"earlier form, another program", earlier + std::to_string(other), false, false},
      {"earlier form, an updater started after it", earlier + std::to_string(live), true, false},
  };
  for (const Row& row : rows) {
    WriteJournal(row.header);
    if (row.ageJournal) {
      const auto hourAgo = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() -
                                                                std::chrono::hours(1));
      const utimbuf times{hourAgo, hourAgo};
      ::utime((dir / kJournalName).c_str(), &times);
    }
    const auto recovery = UpdateJournal::Recover(dir.string(), false);
    EXPECT_EQ(recovery == UpdateJournal::Recovery::Busy, row.busy) << row.what;
    EXPECT_EQ(Read(dir / "data"), row.busy ? "old" : "new") << row.what;
    EXPECT_EQ(fs::exists(dir / kJournalName), row.busy) << row.what;
    fs::remove(dir / kJournalName);
  }
}

// A run stopped during its undo: the client's entry is already undone, the module's not yet.
// The next recovery undoes the rest instead of finishing the rest.
TEST_F(UpdateJournalTest, AnUndoStoppedHalfWayIsUndoneToItsEnd) {
  Put("libweb.so", "new module");
  Put(".talmar2-update-aaaaaa-old", "old module");
  Put("client", "old client");
  Put(kJournalName, UpdateJournal::Header(1) +
                        "\n.talmar2-update-aaaaaa\tlibweb.so\t.talmar2-update-aaaaaa-old\t1\n"
                        ".talmar2-update-bbbbbb\tclient\t.talmar2-update-bbbbbb-old\t1\n"
                        ".talmar2-update-cccccc\tadded.dat\t.talmar2-update-cccccc-old\t0\n"
                        "undo\n");
  EXPECT_EQ(UpdateJournal::Recover(dir.string(), true), UpdateJournal::Recovery::Undone);
  EXPECT_EQ(Read(dir / "libweb.so"), "old module");
  EXPECT_EQ(Read(dir / "client"), "old client");
  EXPECT_FALSE(fs::exists(dir / kJournalName));
  EXPECT_FALSE(fs::exists(dir / ".talmar2-update-aaaaaa-old"));
}

// A journal that cannot be read is kept aside, and the updater removes none of the temporary
// files beside it: they may be the only copy of a previous file.
TEST_F(UpdateJournalTest, AnUnreadableJournalIsKeptAsideWithItsFiles) {
  Put(kJournalName, "talmar2-update-journal 2 garbled");
  Put(".talmar2-update-aaaaaa-old", "the only copy of a previous file");
  Put("update.txt", "version=2\r\n");
  UpdateInstall run({dir.string(), (dir / "client").string()}, (dir / "update.txt").string(), "",
                    {});
  EXPECT_EQ(run.Run(), UpdateInstall::Outcome::Failed) << "a manifest without files";
  EXPECT_EQ(Read(dir / ".talmar2-update-aaaaaa-old"), "the only copy of a previous file");
  EXPECT_FALSE(fs::exists(dir / kJournalName));
  int kept = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with(std::string(kJournalName) + kUnreadableJournalSuffix)) {
      ++kept;
      EXPECT_EQ(Read(e.path()), "talmar2-update-journal 2 garbled");
    }
  }
  EXPECT_EQ(kept, 1);
}

}  // namespace
