#include "common/UpdateJournal.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <sstream>

#include "common/UpdateHandOver.h"
#include "platform/system/Files.h"
#include "platform/system/Process.h"

namespace {

// The first word of the first line; then the form's number, the writer's process id and, from
// form 2 on, the id of the system's start and the writer's start after it.
constexpr const char* kMagic = "talmar2-update-journal";
// The line after the entries that marks a journal being undone.
constexpr const char* kUndoMark = "undo";

bool PlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// What the first line says of the writer.
struct Writer {
  int form = 0;  // 0: not a journal's first line
  long pid = 0;
  std::string boot;
  std::uint64_t ticks = 0;
};

Writer ReadHeader(const std::string& line) {
  std::istringstream in(line);
  std::string magic;
  Writer w;
  in >> magic >> w.form >> w.pid;
  if (!in || magic != kMagic || w.pid <= 0) return {};
  if (w.form == 1) return w;
  if (w.form == 2 && (in >> w.boot >> w.ticks) && !w.boot.empty()) return w;
  return {};
}

// The boot's id as the first line holds it ("-" where the system does not tell it).
std::string BootText(const platform::ProcessFacts& facts) {
  return facts.boot.empty() ? std::string("-") : facts.boot;
}

// Whether the journal's writer is still at work: that process is alive (not a zombie left for
// its parent to collect), runs the updater (by its executable or the name it was started as)
// and is the very process that wrote the journal. Form 2 names the process exactly; for form 1
// it must have started before the journal was last written (the clock's second of the start
// is rounded, hence the one second of slack). A process id reused by another program, or by
// any process after a restart of the system, is a writer that has gone.
bool WriterRuns(const Writer& writer, const std::string& journalPath) {
  const auto facts = platform::ProcessInfo(writer.pid);
  if (!facts || facts->zombie) return false;
  if (facts->program != kUpdaterProgramName && facts->name != kUpdaterProgramName) return false;
  if (writer.form == 2) return BootText(*facts) == writer.boot && facts->ticks == writer.ticks;
  const auto written = platform::FileModifiedTime(journalPath);
  return written && facts->startedAt <= *written + 1;
}

}  // namespace

std::string UpdateJournal::Header(long pid) {
  const auto facts = platform::ProcessInfo(pid);
  return std::string(kMagic) + " 2 " + std::to_string(pid) + " " +
         (facts ? BootText(*facts) : std::string("-")) + " " +
         std::to_string(facts ? facts->ticks : 0);
}

bool UpdateJournal::AnyJournalIn(const std::string& directory) {
  return std::ranges::any_of(platform::ListDirectory(directory), [](const std::string& name) {
    return name.starts_with(kJournalName);
  });
}

std::string UpdateJournal::Text(bool undoing) const {
  std::string text = m_header + "\n";
  for (const JournalEntry& e : m_entries) {
    text += e.temp + "\t" + e.target + "\t" + e.backup + "\t" + (e.hadOld ? "1" : "0") + "\n";
  }
  if (undoing) text += std::string(kUndoMark) + "\n";
  return text;
}

bool UpdateJournal::Install() {
  m_header = Header(platform::CurrentProcessId());
  const std::string text = Text(false);
  // Leave room for the undo mark; a journal larger than is read back would be lost.
  if (text.size() + 16 > kMaxJournalBytes) {
    kUpdateLog.Event("the journal of " + std::to_string(m_entries.size()) +
                     " files would be too large");
    return false;
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
    if (Undo(false)) Finish();
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

bool UpdateJournal::Undo(bool marked) {
  // Forward skips entries whose new file is gone, and the undo removes them: a run stopped
  // during the undo must be undone to its end by the next, which the mark tells it.
  if (!marked) {
    const std::string text = Text(true);
    try {
      platform::ReplaceFileContent(
          Path(kJournalName), {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    } catch (const std::exception& e) {
      kUpdateLog.Event(std::string("cannot mark the journal for its undo: ") + e.what());
      return false;
    }
    platform::SyncDirectory(m_dir);
  }
  bool whole = true;
  for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
    const std::string temp = Path(it->temp);
    const std::string target = Path(it->target);
    const std::string backup = Path(it->backup);
    if (platform::FileExists(backup)) {
      if (!platform::RenameFile(backup, target)) {
        kUpdateLog.Event("cannot bring back " + target);
        whole = false;
      }
    } else if (!it->hadOld && !platform::FileExists(temp) && platform::FileExists(target)) {
      platform::RemoveFile(target);  // a new file where there was none
    }
    platform::RemoveFile(temp);
  }
  platform::SyncDirectory(m_dir);
  return whole;
}

bool UpdateJournal::Finish() {
  // The previous files go only once the journal that could bring them back is gone.
  if (!platform::RemoveFile(Path(kJournalName)) && platform::FileExists(Path(kJournalName))) {
    return false;
  }
  platform::SyncDirectory(m_dir);
  for (const JournalEntry& e : m_entries) platform::RemoveFile(Path(e.backup));
  return true;
}

UpdateJournal::Recovery UpdateJournal::Recover(const std::string& directory, bool writerGone,
                                               std::vector<std::string>* targets) {
  const std::string path = directory + "/" + kJournalName;
  if (!platform::FileExists(path)) return Recovery::None;
  const auto text = platform::ReadFileLimited(path, kMaxJournalBytes);
  std::istringstream in(text ? *text : std::string());
  std::string header;
  std::getline(in, header);
  const Writer writer = ReadHeader(header);
  std::vector<JournalEntry> entries;
  bool wellFormed = text && writer.form != 0;
  bool undoing = false;
  for (std::string line; wellFormed && std::getline(in, line);) {
    if (undoing) {
      wellFormed = false;  // nothing follows the mark
      break;
    }
    if (line == kUndoMark) {
      undoing = true;
      continue;
    }
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
    // Not ours to follow, or not readable now: nothing in it is renamed, and it is kept aside
    // with every file it may name, for whoever looks after this installation.
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const std::string aside = path + kUnreadableJournalSuffix + std::to_string(now);
    if (platform::RenameFile(path, aside)) {
      kUpdateLog.Event(path + " cannot be read; it is kept as " + aside +
                       ", and the update's temporary files beside it are kept too");
    } else {
      kUpdateLog.Event(path + " cannot be read and cannot be moved aside; it is left in place");
    }
    return Recovery::Kept;
  }
  if (!writerGone && WriterRuns(writer, path)) return Recovery::Busy;
  if (targets != nullptr) {
    for (const JournalEntry& e : entries) targets->push_back(e.target);
  }
  UpdateJournal journal(directory, std::move(entries));
  journal.m_header = header;
  const bool finished = !undoing && journal.Forward();
  if ((finished || journal.Undo(undoing)) && journal.Finish()) {
    kUpdateLog.Event((finished ? "finished the update a stopped run left in "
                               : "undid the update a stopped run left in ") +
                     directory);
    return finished ? Recovery::Finished : Recovery::Undone;
  }
  // A directory that cannot be written (a read-only mount) keeps its journal for a start that
  // can write it.
  kUpdateLog.Event("the update a stopped run left in " + directory +
                   " can be neither finished nor undone now; its journal is kept");
  return Recovery::Kept;
}
