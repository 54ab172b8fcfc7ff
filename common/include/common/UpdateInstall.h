#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/COrvDownLoadFile.h"
#include "common/UpdateHandOver.h"
#include "platform/system/EventLog.h"

// The updater's channel: its event-log lines read "updater: ...".
inline const platform::LogChannel kUpdaterLog("updater");

// One run of the updater, without its window: reads the kept manifest, fetches every file it
// lists into the client's directory and installs them together.
//
// Files are fetched to temporary names beside their targets and put in place only when every
// one of them arrived whole (the announced length, and the SHA-256 when the manifest gives it):
// the client's files belong together, so a failed, refused or cancelled file leaves the whole
// previous version in place.
class UpdateInstall {
 public:
  // The largest file an update may bring.
  static constexpr std::int64_t kMaxUpdateFileBytes = std::int64_t{1} << 30;
  // The slowest an update whose files all carry their sizes may arrive, and the least time it
  // is given (10 minutes unless a test asks for less).
  static constexpr std::int64_t kMinBytesPerSecond = 64 * 1024;
  void SetDeadlineFloor(std::int64_t seconds) { m_deadlineFloorSeconds = seconds; }

  enum class Outcome {
    Installed,  // every listed file is in place
    Cancelled,  // Cancel() was called while files arrived
    Failed,     // nothing installed (no manifest, no file line, a refused file...): the caption
                // and the event log say why
    ReadOnly,   // the client's directory cannot be written to at all
  };

  // What the window shows while the run goes on.
  struct View {
    std::function<void(const std::string&)> caption;  // one line of text
    std::function<void(std::int64_t)> fileSize;       // the next file's length
    std::function<void(std::int64_t)> loaded;         // its bytes so far
  };

  UpdateInstall(UpdaterTarget target, std::string manifestPath, std::string publicKey, View view);

  Outcome Run();
  // Stops the download under way; the run then ends as Cancelled. For handlers that run during
  // Run (the window's close question).
  void Cancel();

  // What is started once the run is over, whatever its outcome: the client (the new one or
  // the previous one), never another fetched file; empty when there is no client to start.
  std::string ClientToStart() const;

 private:
  struct Fetched {
    std::string temp;
    std::string target;
  };

  Outcome Fail(const std::string& shown, const std::string& logged);
  Outcome Fetch(const std::vector<struct ManifestFileLine>& files);
  Outcome Install(const std::vector<Fetched>& fetched);
  void Caption(const std::string& text) const;

  UpdaterTarget m_target;
  std::string m_manifestPath;
  std::string m_publicKey;
  View m_view;
  COrvDownLoadFile m_download;
  bool m_cancelled = false;
  std::int64_t m_deadlineFloorSeconds = 600;
};
