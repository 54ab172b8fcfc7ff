#pragma once

// What the client's process status tells whoever started it (the README's command line lists
// them). "--open" has statuses of its own (main.cpp).
enum ExitStatus : int {
  // Ended as asked: the player closed it, "/web" handed the home page on, the updater took over.
  kExitDone = 0,
  // It cannot run here: no display, its web engine or its login window cannot be loaded, or
  // "/web" found no browser to open the home page in.
  kExitCannotRun = 1,
  // No network connection at the start: the notice was shown and nothing was asked of a server.
  kExitOffline = 5,
  // The login page could not be had (refused, an error, an empty page, a server that stopped
  // answering): the same notice was shown.
  kExitNoLoginPage = 6,
};
