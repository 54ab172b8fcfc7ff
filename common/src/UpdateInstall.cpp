#include "common/UpdateInstall.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "common/UpdateJournal.h"
#include "common/UpdateManifest.h"
#include "platform/system/Crypto.h"
#include "platform/system/Files.h"

UpdateInstall::UpdateInstall(UpdaterTarget target, std::string manifestPath, std::string publicKey,
                             View view)
    : m_target(std::move(target)),
      m_manifestPath(std::move(manifestPath)),
      m_publicKey(std::move(publicKey)),
      m_view(std::move(view)) {
  m_download.QueryFileInfo = [this](std::int64_t size) {
    if (m_view.loaded) m_view.loaded(0);
    if (m_view.fileSize) m_view.fileSize(size);
  };
  m_download.Loading = [this](std::int64_t loaded) {
    if (m_view.loaded) m_view.loaded(loaded);
  };
}

void UpdateInstall::Cancel() {
  m_cancelled = true;
  m_download.StopDownLoad();
}

void UpdateInstall::Caption(const std::string& text) const {
  if (m_view.caption) m_view.caption(text);
}

UpdateInstall::Outcome UpdateInstall::Fail(const std::string& shown, const std::string& logged) {
  Caption(shown);
  kUpdaterLog.Event(logged);
  return Outcome::Failed;
}

UpdateInstall::Outcome UpdateInstall::Run() {
  const std::string& dir = m_target.directory;
  if (dir.empty() || dir.front() != '/' || !platform::DirectoryExists(dir)) {
    return Fail("程序目录无效", "no such directory: " + dir);
  }
  // An update a killed run left half-installed is finished (or undone) first, whatever this run
  // does; only then are temporary files removed. A journal that stays would be replaced by this
  // run's, and the files it names lost.
  UpdateJournal::Recover(dir, true);
  if (platform::FileExists(dir + "/" + kJournalName)) {
    return Fail("上次的更新未能完成", "the journal of an earlier update stays in " + dir);
  }
  if (m_manifestPath.empty()) return Fail("找不到更新列表", "no manifest path");
  const KeptManifest manifest = ReadKeptManifest(m_manifestPath, CurrentTrust(m_publicKey));
  if (manifest.status == KeptManifest::Status::Missing) {
    return Fail("找不到更新列表", "no manifest at " + m_manifestPath);
  }
  if (manifest.status == KeptManifest::Status::Refused) {
    return Fail(m_publicKey.empty() ? "更新列表无效" : "更新列表校验失败",
                manifest.reason + "; nothing is updated");
  }

  if (UpdateJournal::AnyJournalIn(dir)) {
    kUpdaterLog.Event("a journal kept aside in " + dir + " may name its files; none is removed");
  } else {
    for (const std::string& name : platform::ListDirectory(dir)) {
      if (name.starts_with(kUpdateTempPrefix)) platform::RemoveFile(dir + "/" += name);
    }
  }

  std::vector<ManifestFileLine> files;
  int lineNumber = 0;
  int refused = 0;
  for (std::string_view line : SplitManifestLines(manifest.text)) {
    ++lineNumber;
    ManifestFileLine file = ReadManifestFileLine(line);
    if (file.kind == ManifestFileLine::Kind::Refused) {
      ++refused;
      kUpdaterLog.Event("manifest line " + std::to_string(lineNumber) + " skipped: " + file.reason);
    } else if (file.kind == ManifestFileLine::Kind::File) {
      files.push_back(std::move(file));
    }
  }
  if (files.empty()) {
    // A manifest without files (or with only refused ones) installs nothing: no upgrade.
    if (refused > 0) return Fail("更新列表无效", "no usable file line in the manifest");
    return Fail("更新列表中没有文件", "the manifest lists no files; nothing is installed");
  }

  // A directory we cannot write to (a system-wide installation) is found before anything is
  // fetched.
  if (!ClientDirectoryWritable(dir)) {
    Fail("无法写入程序目录", "cannot write to " + dir);
    return Outcome::ReadOnly;
  }
  return Fetch(files);
}

UpdateInstall::Outcome UpdateInstall::Fetch(const std::vector<ManifestFileLine>& files) {
  const std::string prefix = m_target.directory + "/" + kUpdateTempPrefix;
  std::vector<Fetched> fetched;
  auto dropFetched = [&] {
    for (const Fetched& f : fetched) platform::RemoveFile(f.temp);
  };
  // The whole update must arrive at kMinBytesPerSecond at least, and is given the floor in any
  // case: a path that trickles bytes fails it as a cut download does. Files without a size
  // (unsigned manifests only) leave the update without a deadline, as before sizes were given.
  std::int64_t total = 0;
  for (const ManifestFileLine& file : files)
    total = file.size < 0 || total < 0 ? -1 : total + file.size;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(std::max<std::int64_t>(
                                             m_deadlineFloorSeconds, total / kMinBytesPerSecond));
  for (const ManifestFileLine& file : files) {
    const std::string target = m_target.directory + "/" + file.name;
    Caption("正在下载：" + file.name);
    if (m_view.loaded) m_view.loaded(0);
    const auto temp = platform::CreateUniqueFile(prefix);
    if (!temp) {
      dropFetched();
      return Fail("无法写入：" + file.name, "cannot create a file in " + m_target.directory);
    }
    fetched.push_back({*temp, target});
    std::int64_t announced = -1;
    const auto query = m_download.QueryFileInfo;
    m_download.QueryFileInfo = [&](std::int64_t size) {
      announced = size;
      query(size);
    };
    // A file announced larger than the cap or than the free space of the client's file system
    // is refused before a byte of it is written.
    std::int64_t limit = kMaxUpdateFileBytes;
    std::error_code ec;
    const auto space = std::filesystem::space(m_target.directory, ec);
    if (!ec && static_cast<std::uintmax_t>(limit) > space.available) {
      limit = std::max<std::int64_t>(static_cast<std::int64_t>(space.available), 1);
    }
    // A signed line's size caps its download.
    if (file.size >= 0) limit = std::min(limit, std::max<std::int64_t>(file.size, 1));
    m_download.m_MaxBytes = limit;
    m_download.m_DeadlineSeconds = 0;
    if (total >= 0) {
      const auto left =
          std::chrono::ceil<std::chrono::seconds>(deadline - std::chrono::steady_clock::now());
      m_download.m_DeadlineSeconds = static_cast<long>(std::max<std::int64_t>(left.count(), 1));
    }
    const bool ok = (total < 0 || std::chrono::steady_clock::now() < deadline) &&
                    m_download.DownLoadFile(file.url, *temp, false, true);
    m_download.QueryFileInfo = query;
    if (m_cancelled) {
      dropFetched();
      return Outcome::Cancelled;
    }
    if (!ok || platform::FileSize(*temp) != announced ||
        (file.size >= 0 && announced != file.size)) {
      dropFetched();
      return Fail("下载失败：" + file.name, "cannot fetch " + file.url + " (at most " +
                                                std::to_string(limit) + " bytes taken)");
    }
    if (!file.sha256.empty() && platform::Sha256HexOfFile(*temp) != file.sha256) {
      dropFetched();
      return Fail("文件校验失败：" + file.name, "SHA-256 mismatch for " + file.url);
    }
  }
  return Install(fetched);
}

UpdateInstall::Outcome UpdateInstall::Install(const std::vector<Fetched>& fetched) {
  const std::string& dir = m_target.directory;
  std::vector<JournalEntry> entries;
  for (const Fetched& f : fetched) {
    // Only the client is a program; nothing else fetched is ever made executable.
    const bool program = !m_target.executable.empty() && f.target == m_target.executable;
    const std::string temp = f.temp.substr(dir.size() + 1);
    const std::string target = f.target.substr(dir.size() + 1);
    if (!platform::SetProgramMode(f.temp, program)) {
      for (const Fetched& g : fetched) platform::RemoveFile(g.temp);
      return Fail("无法写入：" + target, "cannot set the mode of " + f.temp);
    }
    // On disk before any rename names it.
    platform::SyncFile(f.temp);
    entries.push_back({temp, target, temp + "-old", platform::FileExists(f.target)});
  }
  UpdateJournal journal(dir, std::move(entries));
  if (!journal.Install()) {
    for (const Fetched& f : fetched) platform::RemoveFile(f.temp);
    return Fail("无法安装更新，已保留原有版本", "cannot put the new files in place in " + dir);
  }
  return Outcome::Installed;
}

std::string UpdateInstall::ClientToStart() const {
  // A fetched file other than the client is never opened: a desktop handler could run it.
  const std::string& client = m_target.executable;
  return !client.empty() && platform::FileExists(client) ? client : std::string();
}
