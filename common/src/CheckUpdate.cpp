#include "common/CheckUpdate.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <sstream>

#include "common/ManifestVersion.h"
#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "common/UpdateHandOver.h"
#include "common/UpdateManifest.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/system/Files.h"
#include "platform/window/MessageLoop.h"

namespace {

// Fetches `url` to a name of this process beside `path` ("update.txt.part-XXXXXX": two clients
// checking at once never mix their downloads); the name when it arrived whole (the caller then
// puts it in place). A failed fetch leaves nothing behind.
std::optional<std::string> FetchToPart(COrvDownLoadFile& downloader, const std::string& url,
                                       const std::string& path) {
  auto part = platform::CreateUniqueFile(path + ".part-");
  if (!part) return {};
  if (downloader.DownLoadFile(url, *part, true, false)) {
    platform::SyncFile(*part);  // on disk before its rename
    return part;
  }
  platform::RemoveFile(*part);
  return {};
}

void Report(const std::string& logLine, const char* text) {
  kUpdateLog.Event(logLine);
  platform::MessageBox(text, "提示", platform::MB_OK | platform::MB_ICONEXCLAMATION);
}

}  // namespace

void CheckUpdate(UpdateCaller mode, std::unique_ptr<COrvDownLoadFile>& downloader,
                 const UpdateCheckHooks& hooks) {
  std::string tempDir;
  std::string manifestPath;
  try {
    tempDir = GetTempDir();
    manifestPath = KeptManifestPath();
  } catch (const std::exception& e) {
    kUpdateLog.Event(e.what());
    return;
  }
  const std::string signaturePath = SignaturePathOf(manifestPath);
  // A client installed where its user cannot write (system-wide, a read-only mount) is updated
  // by the package manager, never by us.
  std::string clientDir = hooks.clientDirectory.value_or(platform::ExecutablePath());
  if (!hooks.clientDirectory) clientDir = clientDir.substr(0, clientDir.rfind('/'));
  if (!ClientDirectoryWritable(clientDir.empty() ? "/" : clientDir)) {
    static bool logged = false;
    if (!logged) {
      kUpdateLog.Event(clientDir + " cannot be written; updates come from the package manager");
      logged = true;
    }
    if (mode == ButtonMode) {
      platform::MessageBox("客户端所在目录无法写入，请通过系统的软件包管理器更新。", "提示",
                           platform::MB_OK | platform::MB_ICONINFORMATION);
    }
    return;
  }
  const std::string publicKey = hooks.publicKey.value_or(UpdatePublicKey());
  const std::string ownVersion = AppVersion();

  if (!downloader) downloader = std::make_unique<COrvDownLoadFile>();
  downloader->m_MaxBytes = static_cast<std::int64_t>(kMaxManifestBytes);
  downloader->m_DeadlineSeconds = kManifestDeadlineSeconds;
  // The result only decides whether the fresh copy replaces the one there: a manifest left by
  // an earlier run is read as well.
  if (const auto manifestPart = FetchToPart(*downloader, UpdateListUrl(), manifestPath)) {
    if (publicKey.empty()) {
      platform::RenameFile(*manifestPart, manifestPath);
    } else if (const auto signaturePart =
                   FetchToPart(*downloader, UpdateSignatureUrl(), signaturePath)) {
      // Signature first: a pair broken by a crash in between fails to verify, never the reverse.
      platform::RenameFile(*signaturePart, signaturePath);
      platform::RenameFile(*manifestPart, manifestPath);
    } else {
      // An unsigned manifest is never taken; an earlier signed pair may still be read.
      platform::RemoveFile(*manifestPart);
      kUpdateLog.Event("the manifest has no signature and is refused");
    }
  }
  const KeptManifest kept = ReadKeptManifest(manifestPath, CurrentTrust(publicKey));
  if (kept.status == KeptManifest::Status::Refused) {
    kUpdateLog.Event(kept.reason + "; no update is offered");
  }
  if (kept.status != KeptManifest::Status::Usable) return;
  std::istringstream manifest(kept.text);
  const ManifestVersion version = ReadManifestVersion(manifest);
  if (!version.found) return;

  if (version.Equals(ownVersion)) {
    if (mode == ButtonMode) {
      platform::MessageBox("当前版本已是最新，无需更新！", "提示",
                           platform::MB_OK | platform::MB_ICONINFORMATION);
    }
    return;
  }
  if (platform::MessageBox("发现有新版本，是否现在更新！", "提示",
                           platform::MB_YESNO | platform::MB_ICONQUESTION) != platform::IDYES) {
    return;
  }

  // The updater is written whole or not at all; a copy left by an earlier run is never started
  // in place of one that could not be written. Either failure leaves the client running: the
  // start-up goes on, the main window stays.
  const std::string updater = tempDir + kUpdaterProgramName;
  try {
    SaveResToFile(101, "UPDATE", updater);
  } catch (const std::exception& e) {
    Report(e.what(), "无法写入更新程序，请稍后再试！");
    return;
  }
  const std::string commandLine = UpdaterCommandLine(platform::ExecutablePath());
  const bool started = hooks.startProgram ? hooks.startProgram(updater, commandLine)
                                          : platform::StartProgram(updater, commandLine);
  if (!started) {
    Report("cannot start " + updater, "无法启动更新程序，请稍后再试！");
    return;
  }

  if (mode == StartupMode) {
    if (hooks.endProcess) {
      hooks.endProcess();
    } else {
      platform::EndProcessNow(0);
    }
    return;
  }
  if (hooks.setExitFlag) hooks.setExitFlag(true);
  if (hooks.unloadMainWindow) hooks.unloadMainWindow();
}
