// The publisher's signing command for update manifests.
//
//   update-sign keygen KEY.pem          make a new private key (keep it secret)
//   update-sign pubkey KEY.pem          print the public key for CLIENT_UPDATE_PUBKEY
//   update-sign sign KEY.pem update.txt write update.txt.sig beside the manifest

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "UpdateSign.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: update-sign keygen KEY.pem\n"
               "       update-sign pubkey KEY.pem\n"
               "       update-sign sign KEY.pem MANIFEST\n");
  return 2;
}

std::optional<updatesign::Key> LoadOrSay(const std::string& path) {
  auto key = updatesign::Key::Load(path);
  if (!key) std::fprintf(stderr, "update-sign: %s holds no Ed25519 private key\n", path.c_str());
  return key;
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
  if (command == "sign" && argc == 4) {
    const auto key = LoadOrSay(keyPath);
    if (!key) return 1;
    const std::string manifestPath = argv[3];
    std::ifstream in(manifestPath, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "update-sign: cannot read %s\n", manifestPath.c_str());
      return 1;
    }
    const std::string manifest((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    std::ofstream out(manifestPath + ".sig", std::ios::binary | std::ios::trunc);
    out << key->Sign(manifest) << "\n";
    out.close();
    if (!out) {
      std::fprintf(stderr, "update-sign: cannot write %s.sig\n", manifestPath.c_str());
      return 1;
    }
    return 0;
  }
  return Usage();
}
