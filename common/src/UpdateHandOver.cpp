#include "common/UpdateHandOver.h"

#include <cstdint>

#include "common/SharedRoutines.h"
#include "common/UpdateManifest.h"
#include "platform/Crypto.h"
#include "platform/Files.h"

std::vector<std::string_view> SplitAtBars(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t bar = text.find('|', start);
    pieces.push_back(text.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) return pieces;
    start = bar + 1;
  }
}

std::string UpdaterCommandLine(const std::string& executablePath) {
  std::string dir = executablePath.substr(0, executablePath.rfind('/'));
  if (dir.empty()) dir = "/";
  const std::string name = executablePath.substr(executablePath.rfind('/') + 1);
  return dir + "|" + (dir == "/" ? dir : dir + "/") + name;
}

UpdaterTarget ParseUpdaterCommandLine(std::string_view commandLine) {
  const auto pieces = SplitAtBars(commandLine);
  UpdaterTarget target;
  target.directory = std::string(pieces[0]);
  while (target.directory.size() > 1 && target.directory.back() == '/') {
    target.directory.pop_back();
  }
  if (pieces.size() > 1) target.executable = std::string(pieces[1]);
  return target;
}

std::string KeptManifestPath() {
  return GetTempDir() + "update.txt";
}

std::string SignaturePathOf(const std::string& manifestPath) {
  return manifestPath + ".sig";
}

KeptManifest ReadKeptManifest(const std::string& manifestPath, const std::string& publicKey) {
  KeptManifest result;
  bool tooLarge = false;
  auto content = platform::ReadFileLimited(manifestPath, kMaxManifestBytes, &tooLarge);
  if (!content) {
    if (tooLarge) {
      result.status = KeptManifest::Status::Refused;
      result.reason = "the manifest is too large";
    }
    return result;
  }
  if (!publicKey.empty()) {
    const auto signature =
        platform::ReadFileLimited(SignaturePathOf(manifestPath), kMaxSignatureBytes);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(content->data());
    if (!signature || !platform::VerifyEd25519({bytes, content->size()}, *signature, publicKey)) {
      result.status = KeptManifest::Status::Refused;
      result.reason = "the manifest's signature does not verify";
      return result;
    }
  }
  result.status = KeptManifest::Status::Usable;
  result.text = std::move(*content);
  return result;
}
