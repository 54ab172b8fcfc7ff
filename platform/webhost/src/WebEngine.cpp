// Loading the web module: InitWebEngine only records the store's options; StartWebEngine, the
// first view's engine view or the first website-data call loads the module and hands them over.

#include "platform/webhost/detail/WebEngine.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <glib.h>

#include "platform/system/EventLog.h"

#ifndef CLIENT_WEB_MODULE_DIR
#define CLIENT_WEB_MODULE_DIR ""
#endif
#ifndef CLIENT_WEB_MODULE_FILE
#define CLIENT_WEB_MODULE_FILE "libtalmar2-web.so"
#endif
#ifndef CLIENT_BUILD_ROOT
#define CLIENT_BUILD_ROOT ""
#endif

namespace platform {

namespace {

// Names the module file to load instead of searching for it.
constexpr char kModuleEnvironment[] = "CLIENT_WEB_MODULE";

struct EngineState {
  WebEngineOptions options;
  bool tried = false;     // the module was looked for (found or not)
  bool claimed = false;   // a view exists or existed
  bool reported = false;  // a module that could not be loaded was reported
  std::string why;        // why it could not
  const WebModuleTable* table = nullptr;
  bool opened[kMaxWebSessions] = {};  // the engine was asked about the session's store
  bool spent[kMaxWebSessions] = {};   // forgotten after that
};

// Lives until the process ends, as the module does (the engine cannot be unloaded).
EngineState& State() {
  static EngineState* state = new EngineState();
  return *state;
}

std::string ExecutableDirectory() {
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return std::string();
  const std::string path(buf.data(), static_cast<std::size_t>(n));
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Opens the first candidate that loads and offers a table of our version; `why` collects the
// reasons of those that did not.
const WebModuleTable* Open(const std::vector<std::string>& candidates, std::string& why) {
  for (const std::string& path : candidates) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* error = dlerror();
      why += std::string(why.empty() ? "" : "; ") + (error != nullptr ? error : path);
      continue;
    }
    auto entry = reinterpret_cast<WebModuleEntryFn>(dlsym(handle, kWebModuleEntry));
    const WebModuleTable* table = entry != nullptr ? entry() : nullptr;
    if (table != nullptr && table->version == kWebModuleVersion) return table;
    why += std::string(why.empty() ? "" : "; ") + path + ": not a web module of this version";
    dlclose(handle);
  }
  return nullptr;
}

}  // namespace

bool IsDevelopmentBuild(const std::string& executableDirectory, const std::string& buildRoot) {
  if (buildRoot.empty() || executableDirectory.empty()) return false;
  return executableDirectory == buildRoot ||
         executableDirectory.starts_with(buildRoot.back() == '/' ? buildRoot : buildRoot + "/");
}

std::vector<std::string> WebModuleCandidates(const std::string& overridePath,
                                             const std::string& executableDirectory,
                                             const std::string& buildDirectory,
                                             const std::string& fileName, bool development) {
  if (!development) {
    // An installed client loads only the module installed with it: neither the environment
    // nor a build tree that happens to exist on the machine decides what runs in it.
    if (executableDirectory.empty()) return {};
    return {executableDirectory + "/" + fileName};
  }
  if (!overridePath.empty()) return {overridePath};
  std::vector<std::string> candidates;
  for (const std::string& dir : {executableDirectory, buildDirectory}) {
    if (dir.empty()) continue;
    std::string path = dir + "/" + fileName;
    bool known = false;
    for (const std::string& c : candidates) known = known || c == path;
    if (!known) candidates.push_back(std::move(path));
  }
  return candidates;
}

bool InitWebEngine(const WebEngineOptions& options) {
  EngineState& state = State();
  if (state.tried || state.claimed) return false;
  state.options = options;
  return true;
}

void ClaimWebEngine() {
  State().claimed = true;
}

namespace {

// Looks for the module once and configures it; reports nothing.
void LoadModule(EngineState& state) {
  if (state.tried) return;
  state.tried = true;
  const char* given = std::getenv(kModuleEnvironment);
  const std::string executableDirectory = ExecutableDirectory();
  const std::vector<std::string> candidates = WebModuleCandidates(
      given != nullptr ? given : "", executableDirectory, CLIENT_WEB_MODULE_DIR,
      CLIENT_WEB_MODULE_FILE, IsDevelopmentBuild(executableDirectory, CLIENT_BUILD_ROOT));
  state.table = Open(candidates, state.why);
  if (state.table == nullptr) {
    if (state.why.empty()) state.why = "no module to look for";
    return;
  }
  const WebModuleOptions options{state.options.name.c_str(), state.options.dataDirectory.c_str(),
                                 state.options.cacheDirectory.c_str()};
  state.table->configure(&options);
  for (int session = 1; session < kMaxWebSessions; ++session) {
    const std::string data = WebSessionDirectory(session);
    const std::string cache = data + "/cache";
    state.table->configureSession(session, data.c_str(), cache.c_str());
  }
}

}  // namespace

std::string WebSessionDirectory(int session) {
  if (session <= 0 || session >= kMaxWebSessions) return std::string();
  const WebEngineOptions& options = State().options;
  std::string base = options.sessionBase;
  if (base.empty()) {
    base = std::string(g_get_user_data_dir()) + "/" +
           (options.name.empty() ? std::string("web-client") : options.name);
  }
  return base + "/web-" + std::to_string(session + 1);
}

bool WebSessionStored(int session) {
  const std::string dir = WebSessionDirectory(session);
  std::error_code error;
  return !dir.empty() && std::filesystem::is_directory(dir, error);
}

bool ForgetWebSession(int session) {
  const std::string dir = WebSessionDirectory(session);
  if (dir.empty()) return false;
  EngineState& state = State();
  // The engine first, so that nothing it holds in memory is written back afterwards. A store it
  // never opened is only files.
  if (state.opened[session]) {
    state.spent[session] = true;
    if (const WebModuleTable* engine = WebEngineModule(); engine != nullptr) {
      if (!engine->clearSession(session)) LogEvent("forgetting session: the engine failed");
    }
  }
  std::error_code error;
  std::filesystem::remove_all(dir, error);
  if (error) LogEvent("forgetting session: " + dir + ": " + error.message());
  return !std::filesystem::exists(dir, error);
}

bool WebSessionSpent(int session) {
  return session > 0 && session < kMaxWebSessions && State().spent[session];
}

void NoteWebSessionOpened(int session) {
  if (session >= 0 && session < kMaxWebSessions) State().opened[session] = true;
}

void StartWebEngineNow() {
  EngineState& state = State();
  // Once a view exists it loads the engine from the loop itself.
  if (state.tried || state.claimed) return;
  LoadModule(state);
  if (state.table != nullptr) state.table->prewarm();
}

const WebModuleTable* WebEngineModule() {
  EngineState& state = State();
  LoadModule(state);
  if (state.table == nullptr && !state.reported) {
    // Reported when a page is first needed, even when StartWebEngine found the module
    // missing earlier: what the user sees comes in the same order either way.
    state.reported = true;
    LogEvent("Web engine unavailable, pages will not load: " + state.why);
    if (state.options.onUnavailable) {
      // Called once; the handler may end the process.
      const auto handler = state.options.onUnavailable;
      handler(state.why);
    }
  }
  return state.table;
}

}  // namespace platform
