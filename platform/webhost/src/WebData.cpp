// Enumerating and removing website data: the engine's work, through the web module.

#include "platform/webhost/WebData.h"

#include <string>
#include <vector>

#include "platform/webhost/detail/WebEngine.h"

namespace platform {

std::vector<WebDataRecord> FetchWebData(int session) {
  std::vector<WebDataRecord> records;
  const WebModuleTable* engine = WebEngineModule();
  if (engine == nullptr) return records;
  NoteWebSessionOpened(session);
  engine->fetchData(
      session,
      [](void* context, const char* name, unsigned types) {
        static_cast<std::vector<WebDataRecord>*>(context)->push_back(
            {name != nullptr ? name : "", types});
      },
      &records);
  return records;
}

bool RemoveWebData(const std::vector<std::string>& siteNames, unsigned types, int session) {
  if ((types & kWebDataAll) == 0 || siteNames.empty()) return true;
  const WebModuleTable* engine = WebEngineModule();
  if (engine == nullptr) return false;
  NoteWebSessionOpened(session);
  std::vector<const char*> names;
  names.reserve(siteNames.size());
  for (const std::string& name : siteNames) names.push_back(name.c_str());
  return engine->removeData(session, names.data(), names.size(), types);
}

}  // namespace platform
