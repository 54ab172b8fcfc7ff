// The publisher's signing command for update manifests.
//
//   update-sign keygen KEY.pem          make a new private key (keep it secret)
//   update-sign pubkey KEY.pem          print the public key for CLIENT_UPDATE_PUBKEY
//   update-sign sign KEY.pem update.txt [--serial N --expires DAYS]
//                                       write update.txt.sig beside the manifest
//
// A signed manifest must carry "product=" and the game's id, "serial=N" (raised with every
// manifest) and "expires=YYYY-MM-DDTHH:MM:SSZ", and every file line its SHA-256 and its size.
// With --serial and --expires the command writes those three lines into the manifest (after its
// version line, replacing any there) with the expiry DAYS days from now; without them it
// refuses a manifest that lacks them or has a file line without a hash or a size.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "UpdateSign.h"
#include "common/Settings.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: update-sign keygen KEY.pem\n"
               "       update-sign pubkey KEY.pem\n"
               "       update-sign sign KEY.pem MANIFEST [--serial N --expires DAYS]\n");
  return 2;
}

std::optional<updatesign::Key> LoadOrSay(const std::string& path) {
  auto key = updatesign::Key::Load(path);
  if (!key) std::fprintf(stderr, "update-sign: %s holds no Ed25519 private key\n", path.c_str());
  return key;
}

bool AllDigits(const std::string& s, std::size_t max) {
  if (s.empty() || s.size() > max) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int Sign(const std::string& keyPath, const std::string& manifestPath, const std::string& serial,
         const std::string& days) {
  const auto key = LoadOrSay(keyPath);
  if (!key) return 1;
  std::ifstream in(manifestPath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "update-sign: cannot read %s\n", manifestPath.c_str());
    return 1;
  }
  std::string manifest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::vector<updatesign::ManifestLine> lines = updatesign::SplitLines(manifest);
  if (!serial.empty()) {
    std::vector<updatesign::ManifestLine> kept;
    for (const auto& line : lines) {
      if (!line.text.starts_with("serial=") && !line.text.starts_with("expires=") &&
          !line.text.starts_with("product=")) {
        kept.push_back(line);
      }
    }
    std::size_t at = 0;
    std::string end = "\r\n";
    for (std::size_t i = 0; i < kept.size(); ++i) {
      if (updatesign::IsVersionLine(kept[i].text)) {
        at = i + 1;
        if (!kept[i].end.empty()) end = kept[i].end;
        if (kept[i].end.empty()) kept[i].end = end;
        break;
      }
    }
    const std::time_t expiry = std::time(nullptr) + std::atol(days.c_str()) * 86400L;
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&expiry));
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at),
                {{std::string("product=") + GameId, end},
                 {"serial=" + serial, end},
                 {std::string("expires=") + stamp, end}});
    manifest.clear();
    for (const auto& line : kept) manifest += line.text + line.end;
    lines = std::move(kept);
    std::ofstream out(manifestPath, std::ios::binary | std::ios::trunc);
    out << manifest;
    out.close();
    if (!out) {
      std::fprintf(stderr, "update-sign: cannot write %s\n", manifestPath.c_str());
      return 1;
    }
  }
  if (const std::string problem = updatesign::SignedManifestProblem(lines, GameId);
      !problem.empty()) {
    // The options write the three lines of their own, never a file line's hash or size.
    const char* hint =
        problem.starts_with("a file line") ? "" : " (--serial N --expires DAYS adds them)";
    std::fprintf(stderr, "update-sign: %s: %s; not signed%s\n", manifestPath.c_str(),
                 problem.c_str(), hint);
    return 1;
  }
  std::ofstream out(manifestPath + ".sig", std::ios::binary | std::ios::trunc);
  out << key->Sign(manifest) << "\n";
  out.close();
  if (!out) {
    std::fprintf(stderr, "update-sign: cannot write %s.sig\n", manifestPath.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  const std::string keyPath = argv[2];
  if (command == "keygen" && argc == 3) {
    if (!updatesign::GenerateKey(keyPath)) {
      std::fprintf(stderr, "update-sign: cannot write %s\n", keyPath.c_str());
      return 1;
    }
    return 0;
  }
  if (command == "pubkey" && argc == 3) {
    const auto key = LoadOrSay(keyPath);
    if (!key) return 1;
    std::printf("%s\n", key->PublicKeyHex().c_str());
    return 0;
  }
  if (command == "sign" && (argc == 4 || argc == 8)) {
    std::string serial;
    std::string days;
    for (int i = 4; i + 1 < argc; i += 2) {
      const std::string option = argv[i];
      if (option == "--serial" && AllDigits(argv[i + 1], 19)) {
        serial = argv[i + 1];
      } else if (option == "--expires" && AllDigits(argv[i + 1], 5)) {
        days = argv[i + 1];
      } else {
        return Usage();
      }
    }
    if (serial.empty() != days.empty()) return Usage();
    return Sign(keyPath, argv[3], serial, days);
  }
  return Usage();
}
