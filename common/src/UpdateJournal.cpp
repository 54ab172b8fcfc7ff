#include "common/UpdateJournal.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <sstream>

#include "common/UpdateHandOver.h"
#include "platform/system/Files.h"
#include "platform/system/Process.h"

namespace {

constexpr const char* kHeader = "talmar2-update-journal 1";

bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

}  // namespace

bool UpdateJournal::Install() {
  std::string text =
      std::string(kHeader) + " " + std::to_string(platform::CurrentProcessId()) + "\n";
  for (const JournalEntry& e : m_entries) {
    text += e.temp + "\t" + e.target + "\t" + e.backup + "\t" + (e.hadOld ? "1" : "0") + "\n";
  }
  try {
    platform::ReplaceFileContent(Path(kJournalName),
                                 {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  } catch (const std::exception& e) {
    kUpdateLog.Event(std::string("cannot write the journal: ") + e.what());
    return false;
  }
  platform::SyncDirectory(m_dir);
  if (!Forward()) {
    Undo();
    Finish();
    return false;
  }
  Finish();
  return true;
}

bool UpdateJournal::Forward() {
  for (const JournalEntry& e : m_entries) {
    const std::string temp = Path(e.temp);
    const std::string target = Path(e.target);
    const std::string backup = Path(e.backup);
    if (!platform::FileExists(temp)) continue;  // done before
    if (platform::DirectoryExists(target)) {
      kUpdateLog.Event(target + " is a directory");
      return false;
    }
    if (e.hadOld && platform::FileExists(target) && !platform::FileExists(backup) &&
        !platform::RenameFile(target, backup)) {
      kUpdateLog.Event("cannot move " + target + " aside");
      return false;
    }
    if (!platform::RenameFile(temp, target)) {
      kUpdateLog.Event("cannot put " + target + " in place");
      return false;
    }
    platform::SyncDirectory(m_dir);
  }
  return true;
}

void UpdateJournal::Undo() {
  for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
    const std::string temp = Path(it->temp);
    const std::string target = Path(it->target);
    const std::string backup = Path(it->backup);
    if (platform::FileExists(backup)) {
      if (!platform::RenameFile(backup, target)) kUpdateLog.Event("cannot bring back " + target);
    } else if (!it->hadOld && !platform::FileExists(temp) && platform::FileExists(target)) {
      platform::RemoveFile(target);  // a new file where there was none
    }
    platform::RemoveFile(temp);
  }
  platform::SyncDirectory(m_dir);
}

void UpdateJournal::Finish() {
  platform::RemoveFile(Path(kJournalName));
  platform::SyncDirectory(m_dir);
  for (const JournalEntry& e : m_entries) platform::RemoveFile(Path(e.backup));
}

UpdateJournal::Recovery UpdateJournal::Recover(const std::string& directory, bool writerGone,
                                               std::vector<std::string>* targets) {
  const std::string path = directory + "/" + kJournalName;
  const auto text = platform::ReadFileLimited(path, 64 * 1024);
  if (!text) return Recovery::None;
  std::istringstream in(*text);
  std::string header;
  std::getline(in, header);
  std::vector<JournalEntry> entries;
  bool wellFormed = header.rfind(std::string(kHeader) + " ", 0) == 0;
  long pid = 0;
  if (wellFormed) pid = std::strtol(header.c_str() + std::string(kHeader).size() + 1, nullptr, 10);
  for (std::string line; wellFormed && std::getline(in, line);) {
    const auto fields = SplitAt(line, '\t');
    if (fields.size() != 4 || !PlainName(fields[0]) || !PlainName(fields[1]) ||
        !PlainName(fields[2]) || fields[0].rfind(kUpdateTempPrefix, 0) != 0 ||
        fields[2].rfind(kUpdateTempPrefix, 0) != 0) {
      wellFormed = false;
      break;
    }
    entries.push_back(
        {std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), fields[3] == "1"});
  }
  if (!wellFormed) {
    // Not ours to follow: nothing in it is renamed.
    kUpdateLog.Event(path + " is malformed and is removed");
    platform::RemoveFile(path);
    return Recovery::Undone;
  }
  if (!writerGone && platform::ProcessRuns(pid)) return Recovery::Busy;
  if (targets != nullptr) {
    for (const JournalEntry& e : entries) targets->push_back(e.target);
  }
  UpdateJournal journal(directory, std::move(entries));
  if (journal.Forward()) {
    journal.Finish();
    kUpdateLog.Event("finished the update a stopped run left in " + directory);
    return Recovery::Finished;
  }
  journal.Undo();
  journal.Finish();
  kUpdateLog.Event("undid the update a stopped run left in " + directory);
  return Recovery::Undone;
}
