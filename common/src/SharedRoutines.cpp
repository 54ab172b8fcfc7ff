#include "common/SharedRoutines.h"

#include <stdexcept>

#include "common/Settings.h"
#include "platform/system/Files.h"
#include "platform/system/Resources.h"

std::string GetTempDir() {
  return platform::PrivateTempDir(GameId);
}

void SaveResToFile(int resId, const std::string& resType, const std::string& filePath) {
  const auto data = platform::FindResourceData(resType, resId);
  if (!data) {
    throw std::runtime_error("no resource " + resType + " " + std::to_string(resId));
  }
  platform::ReplaceFileContent(filePath, *data);
}

platform::Image LoadPngResource(int resId) {
  return platform::LoadImageResource("PNG", resId);
}
