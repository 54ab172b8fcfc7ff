#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/COrvDownLoadFile.h"

// The update check: fetch the manifest, compare its version with ours, ask the user, and hand
// over to the embedded updater.

enum class UpdateCaller { StartupMode, ButtonMode };
inline constexpr UpdateCaller StartupMode = UpdateCaller::StartupMode;
inline constexpr UpdateCaller ButtonMode = UpdateCaller::ButtonMode;

// What the check asks of its surroundings. The defaults start programs with the shell and end
// the process at once; the main window fills in its two entries for the button mode.
struct UpdateCheckHooks {
  // The main window's m_bExit.
  std::function<void(bool)> setExitFlag;
  // Unloads the main window (its close query then lets it go without asking).
  std::function<void()> unloadMainWindow;
  // Starts a program with one argument text; by default the shell's "open".
  std::function<bool(const std::string& program, const std::string& parameters)> startProgram;
  // Ends the process at once; by default without any unload step.
  std::function<void()> endProcess;
  // The public key manifests must be signed with; by default the build's (UpdatePublicKey).
  std::optional<std::string> publicKey;
  // The client's directory; by default the running executable's.
  std::optional<std::string> clientDirectory;
};

// Runs the check. `downloader` is the calling window's own download object, created on first
// use.
//
// The manifest (at most kMaxManifestBytes, within kManifestDeadlineSeconds, the window's
// messages handled while waiting) is fetched to a temporary name and replaces "update.txt" only
// when it arrived whole, so a failed fetch leaves the previous one to be read. With a public key
// the signature "update.txt.sig" is fetched with it, and a manifest whose signature does not
// verify is refused with one line in the event log and no question. An updater that cannot be
// written or started is reported in a message box and the client goes on. A client whose
// directory cannot be written offers no update: it logs that once, and the button mode says
// so in a box.
inline constexpr long kManifestDeadlineSeconds = 15;

void CheckUpdate(UpdateCaller mode, std::unique_ptr<COrvDownLoadFile>& downloader,
                 const UpdateCheckHooks& hooks = {});
