#pragma once

#include <string>
#include <vector>

// The journal that makes an update's file set one unit in the client's directory.
//
// Every fetched file lies complete under a temporary name before the journal is written; the
// journal lists the renames that put them in place (each target's previous file moved aside to
// a backup name first). Applying it is idempotent: it can be applied again after a kill or a
// power loss at any point and ends in the same state. When a rename fails, the renames done
// are undone and the previous files come back. The journal goes only once every rename is
// done or undone, so the client and its web module never stay mixed.

struct JournalEntry {
  // Names within the client's directory.
  std::string temp;     // the new file, complete
  std::string target;   // where it goes
  std::string backup;   // where the target's previous file is kept until the end
  bool hadOld = false;  // the target existed when the journal was written
};

inline constexpr const char* kJournalName = ".talmar2-update-journal";

class UpdateJournal {
 public:
  UpdateJournal(std::string directory, std::vector<JournalEntry> entries)
      : m_dir(std::move(directory)), m_entries(std::move(entries)) {}

  // Writes the journal (whole or not at all), then applies it. False when nothing was changed in
  // the end: the journal could not be written, or a rename failed and was undone.
  bool Install();

  // Makes a file's data durable (before a rename gives it its name).
  static void SyncFile(const std::string& path);

  enum class Recovery {
    None,      // no journal
    Busy,      // the updater that wrote it still runs
    Finished,  // the update was completed
    Undone,    // it could not be completed and was undone
  };
  // Finishes (or, failing that, undoes) a journal a killed run left in `directory`; Busy while
  // the process that wrote it runs, unless `writerGone` (the updater knows no other runs).
  // `targets` gets the names the journal lists.
  static Recovery Recover(const std::string& directory, bool writerGone,
                          std::vector<std::string>* targets = nullptr);

 private:
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  // Every rename still to do; false at the first that fails.
  bool Forward();
  void Undo();
  // Removes the journal, then the previous files.
  void Finish();

  std::string m_dir;
  std::vector<JournalEntry> m_entries;
};
