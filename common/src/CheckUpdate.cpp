#include "common/CheckUpdate.h"

#include <exception>
#include <fstream>

#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "platform/EventLog.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"
#include "platform/Shell.h"

std::string UpdaterCommandLine(const std::string& executablePath) {
  std::string dir = executablePath.substr(0, executablePath.rfind('/'));
  if (dir.empty()) dir = "/";
  const std::string name = executablePath.substr(executablePath.rfind('/') + 1);
  return dir + "|" + (dir == "/" ? dir : dir + "/") + name;
}

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
  const std::string ownVersion = AppVersion();

  if (!downloader) downloader = std::make_unique<COrvDownLoadFile>();
  // The result does not matter: a manifest left by an earlier run is read as well.
  downloader->DownLoadFile(UpdateListUrl(), manifestPath, true, false);
  if (!platform::FileExists(manifestPath)) return;

  std::ifstream manifest(manifestPath, std::ios::binary);
  if (!manifest) return;
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

  const std::string updater = tempDir + "Update";
  try {
    SaveResToFile(101, "UPDATE", updater);
  } catch (const std::exception& e) {
    // Starting it fails in turn; the client still makes way as the user asked.
    platform::LogEvent(std::string("update check: ") + e.what());
  }
  const std::string commandLine = UpdaterCommandLine(platform::ExecutablePath());
  if (hooks.startProgram) {
    hooks.startProgram(updater, commandLine);
  } else {
    platform::ShellExecuteOpen(updater, commandLine);
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
