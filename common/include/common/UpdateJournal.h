#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The journal that makes an update's file set one unit in the client's directory.
//
// Every fetched file lies complete under a temporary name before the journal is written; the
// journal lists the renames that put them in place (each target's previous file moved aside to
// a backup name first). Applying it is idempotent: it can be applied again after a kill or a
// power loss at any point and ends in the same state. When a rename fails, the journal is
// marked as being undone (so that a run stopped during the undo is undone to its end, not
// finished half-way) and the previous files come back. The journal goes only once every rename
// is done or undone, so the client and its web module never stay mixed.
//
// The journal's first line names its writer: the process id, the id of the system's start and
// the process's start time after it. A journal of the earlier form names only the process id.

struct JournalEntry {
  // Names within the client's directory.
  std::string temp;     // the new file, complete
  std::string target;   // where it goes
  std::string backup;   // where the target's previous file is kept until the end
  bool hadOld = false;  // the target existed when the journal was written
};

inline constexpr const char* kJournalName = ".talmar2-update-journal";
// A journal that cannot be read is kept aside under its name followed by this and a time, and
// nothing it may name is removed.
inline constexpr const char* kUnreadableJournalSuffix = "-unreadable-";
// The largest journal written or read: every entry comes from one line of a manifest, whose
// size is bounded, and a line of the journal is at most 60 bytes longer than the target's name,
// which its manifest line holds too; a manifest of the largest size with the shortest lines
// makes under 5 MiB of journal.
inline constexpr std::size_t kMaxJournalBytes = 8 * 1024 * 1024;

class UpdateJournal {
 public:
  UpdateJournal(std::string directory, std::vector<JournalEntry> entries)
      : m_dir(std::move(directory)), m_entries(std::move(entries)) {}

  // Writes the journal (whole or not at all), then applies it. False when nothing was changed in
  // the end: the journal could not be written, or a rename failed and was undone.
  bool Install();

  enum class Recovery {
    None,      // no journal
    Busy,      // the updater that wrote it still runs
    Finished,  // the update was completed; the journal is gone
    Undone,    // it could not be completed and was undone; the journal is gone
    Kept,      // a journal stays: its renames can neither be done nor undone now (a directory
               // that cannot be written), or it could not be read and was kept aside
  };
  // Finishes (or, failing that, undoes) a journal a killed run left in `directory`; Busy while
  // the updater that wrote it runs, unless `writerGone` (the updater knows no other runs).
  // `targets` gets the names the journal lists.
  static Recovery Recover(const std::string& directory, bool writerGone,
                          std::vector<std::string>* targets = nullptr);

  // The journal's first line naming the process `pid` as its writer.
  static std::string Header(long pid);
  // Whether `directory` holds a journal, in use or kept aside.
  static bool AnyJournalIn(const std::string& directory);

 private:
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  std::string Text(bool undoing) const;
  // Every rename still to do; false at the first that fails.
  bool Forward();
  // Marks the journal as being undone, then brings every previous file back; false when the
  // mark cannot be written or a previous file cannot be brought back (the journal then stays).
  bool Undo(bool marked);
  // Removes the journal, then the previous files; false (and nothing removed) when the journal
  // cannot be removed.
  bool Finish();

  std::string m_dir;
  std::string m_header;
  std::vector<JournalEntry> m_entries;
};
