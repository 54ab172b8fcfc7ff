#pragma once

// The web engine as the rest of platform/ sees it: a module loaded on first need (WebModule.h).

#include <string>
#include <vector>

#include "platform/webhost/WebBrowser.h"
#include "platform/webhost/detail/WebModule.h"

namespace platform {

// The engine's table, loading the module on the first call and handing it the options
// InitWebEngine recorded. nullptr when the module cannot be loaded: that is written once to
// the event log, and every later call answers nullptr at once.
const WebModuleTable* WebEngineModule();

// Where the module is looked for, first to last. In a development build (`development`): the
// file named by `overridePath` alone when it is not empty; otherwise `fileName` in the
// directory of the running executable, then in `buildDirectory` (the build tree's, for programs
// run from elsewhere in it). In an installed build: `fileName` beside the executable, only.
std::vector<std::string> WebModuleCandidates(const std::string& overridePath,
                                             const std::string& executableDirectory,
                                             const std::string& buildDirectory,
                                             const std::string& fileName, bool development);

// A development build is one run from inside the build tree it was built in (`buildRoot`).
bool IsDevelopmentBuild(const std::string& executableDirectory, const std::string& buildRoot);

// Records that a view exists: from now on the store can no longer be chosen, even though the
// module may not be loaded yet (views load it from the main loop, after their construction).
void ClaimWebEngine();

// Records that the engine is about to open a session's store (a view of it, or a question about
// its data): from then on, until the process ends, the engine may hold the store's files.
void NoteWebSessionOpened(int session);

// What StartWebEngine does once the windows shown so far have drawn their first frame: loads the
// module and starts the engine's network process, unless a view exists already.
void StartWebEngineNow();

}  // namespace platform
