#pragma once

#include <optional>
#include <string>
#include <string_view>

// Ed25519 keys and signatures for update manifests, for the publisher's tools (the signing
// command, the demo portal). Keys are PEM files as `openssl genpkey -algorithm ed25519` writes
// them; signatures are the base64 of the 64 signature bytes, the form the client reads.

namespace updatesign {

// The SHA-256 of `bytes` as 64 lower-case hex digits (the hash field of a manifest's file line).
std::string Sha256Hex(std::string_view bytes);

// Writes a new private key to `path` (mode 0600); false when it cannot.
bool GenerateKey(const std::string& path);

class Key {
 public:
  // Reads a private key; nothing when the file holds no Ed25519 private key.
  static std::optional<Key> Load(const std::string& path);
  // The base64 signature of `message`.
  std::string Sign(std::string_view message) const;
  // The public key as 64 hex digits (the value of CLIENT_UPDATE_PUBKEY).
  std::string PublicKeyHex() const;

 private:
  std::string m_seed;  // the 32 raw bytes
};

}  // namespace updatesign
