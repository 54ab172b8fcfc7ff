#include "common/CheckUpdate.h"

#include <cstdint>
#include <exception>
#include <sstream>

#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "common/UpdateManifest.h"
#include "platform/desktop/MessageBox.h"
#include "platform/desktop/Shell.h"
#include "platform/system/Crypto.h"
#include "platform/system/EventLog.h"
#include "platform/system/Files.h"
#include "platform/window/MessageLoop.h"

std::string UpdaterCommandLine(const std::string& executablePath) {
  std::string dir = executablePath.substr(0, executablePath.rfind('/'));
  if (dir.empty()) dir = "/";
  const std::string name = executablePath.substr(executablePath.rfind('/') + 1);
  return dir + "|" + (dir == "/" ? dir : dir + "/") + name;
}

namespace {

// Fetches `url` to `path` + ".part"; true when it arrived whole (the caller then puts it in
// place). A failed fetch leaves nothing behind.
bool FetchToPart(COrvDownLoadFile& downloader, const std::string& url, const std::string& path) {
  const std::string part = path + ".part";
  if (downloader.DownLoadFile(url, part, true, false)) return true;
  platform::RemoveFile(part);
  return false;
}

void Report(const std::string& logLine, const char* text) {
  platform::LogEvent(logLine);
  platform::MessageBox(text, "提示", platform::MB_OK | platform::MB_ICONEXCLAMATION);
}

}  // namespace

void CheckUpdate(UpdateCaller mode, std::unique_ptr<COrvDownLoadFile>& downloader,
                 const UpdateCheckHooks& hooks) {
  std::string tempDir;
  try {
    tempDir = GetTempDir();
  } catch (const std::exception& e) {
    platform::LogEvent(std::string("update check: ") + e.what());
    return;
  }
  const std::string manifestPath = tempDir + "update.txt";
  const std::string signaturePath = manifestPath + ".sig";
  const std::string publicKey = hooks.publicKey.value_or(UpdatePublicKey());
  const std::string ownVersion = AppVersion();

  if (!downloader) downloader = std::make_unique<COrvDownLoadFile>();
  downloader->m_MaxBytes = static_cast<std::int64_t>(kMaxManifestBytes);
  downloader->m_DeadlineSeconds = kManifestDeadlineSeconds;
  // The result only decides whether the fresh copy replaces the one there: a manifest left by
  // an earlier run is read as well.
  if (FetchToPart(*downloader, UpdateListUrl(), manifestPath)) {
    if (publicKey.empty()) {
      platform::RenameFile(manifestPath + ".part", manifestPath);
    } else if (FetchToPart(*downloader, UpdateSignatureUrl(), signaturePath)) {
      // Signature first: a pair broken by a crash in between fails to verify, never the reverse.
      platform::RenameFile(signaturePath + ".part", signaturePath);
      platform::RenameFile(manifestPath + ".part", manifestPath);
    } else {
      // An unsigned manifest is never taken; an earlier signed pair may still be read.
      platform::RemoveFile(manifestPath + ".part");
      platform::LogEvent("update check: the manifest has no signature and is refused");
    }
  }
  if (!platform::FileExists(manifestPath)) return;

  bool tooLarge = false;
  const auto content = platform::ReadFileLimited(manifestPath, kMaxManifestBytes, &tooLarge);
  if (!content) {
    if (tooLarge) platform::LogEvent("update check: the manifest is too large and is ignored");
    return;
  }
  if (!publicKey.empty()) {
    const auto signature = platform::ReadFileLimited(signaturePath, 1024);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(content->data());
    if (!signature || !platform::VerifyEd25519({bytes, content->size()}, *signature, publicKey)) {
      platform::LogEvent(
          "update check: the manifest's signature does not verify; no update is offered");
      return;
    }
  }
  std::istringstream manifest(*content);
  const ManifestVersion version = ReadManifestVersion(manifest);
  if (!version.found) return;

  if (version.Equals(ownVersion)) {
    if (mode == ButtonMode) {
      platform::MessageBox("当前版本已是最新，无需更新！", "提示",
                           platform::MB_OK | platform::MB_ICONEXCLAMATION);
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
  const std::string updater = tempDir + "Update";
  try {
    SaveResToFile(101, "UPDATE", updater);
  } catch (const std::exception& e) {
    Report(std::string("update check: ") + e.what(), "无法写入更新程序，请稍后再试！");
    return;
  }
  const std::string commandLine = UpdaterCommandLine(platform::ExecutablePath());
  const bool started = hooks.startProgram ? hooks.startProgram(updater, commandLine)
                                          : platform::StartProgram(updater, commandLine);
  if (!started) {
    Report("update check: cannot start " + updater, "无法启动更新程序，请稍后再试！");
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
