// The updater's entry point. It is started by the client with one argument, the client's
// directory and executable ("D|D/E"), and ends at once without one or when another updater of
// this user is running.

#include <csignal>
#include <cstdio>
#include <exception>

#include "UpdateFrm.h"
#include "common/SharedRoutines.h"
#include "common/UpdateHandOver.h"
#include "platform/system/Files.h"
#include "platform/window/Form.h"
#include "platform/window/MessageLoop.h"

int main(int argc, char** argv) {
  // A server that closes its end of a connection must fail the write that follows, not end the
  // updater half-way.
  std::signal(SIGPIPE, SIG_IGN);
  const std::string commandLine = platform::CommandLineText(argc, argv);
  if (commandLine.empty()) return 0;
  const UpdaterTarget target = ParseUpdaterCommandLine(commandLine);
  if (RootOnForeignDirectory(target.directory)) {
    // Root would write another user's program and start it with its own rights.
    kUpdaterLog.Event("refusing to run as root on " + target.directory +
                      ", which root does not own");
    std::fprintf(stderr, "Update: refusing to run as root on %s, which root does not own\n",
                 target.directory.c_str());
    return 1;
  }
  // The previous-instance flag: a lock in the user's private directory, held until we end.
  try {
    if (!platform::HoldFileLock(GetTempDir() + "Update.lock")) return 0;
  } catch (const std::exception& e) {
    kUpdaterLog.Event(e.what());
    return 1;
  }
  if (!platform::InitToolkit(argc, argv)) {
    std::fprintf(stderr, "Update: cannot open display\n");
    return 1;
  }
  UpdateFrm::SetCommandLine(commandLine);
  // The load step runs the whole update and unloads the window at its end.
  platform::FormSlot<UpdateFrm>::Get();
  return 0;
}
