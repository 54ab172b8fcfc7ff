#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Ed25519 keys and signatures for update manifests, for the publisher's tools (the signing
// command, the demo portal). Keys are PEM files as `openssl genpkey -algorithm ed25519` writes
// them; signatures are the base64 of the 64 signature bytes, the form the client reads.

namespace updatesign {

// The SHA-256 of `bytes` as 64 lower-case hex digits (the hash field of a manifest's file line).
std::string Sha256Hex(std::string_view bytes);

// One line of a manifest and what ended it (CR, CR LF, LF, or nothing at the end).
struct ManifestLine {
  std::string text;
  std::string end;
};
std::vector<ManifestLine> SplitLines(std::string_view manifest);
// The client's version rule: a line whose lower-case form holds "version".
bool IsVersionLine(std::string_view line);
// Why the client of the game `product` would refuse this manifest when signed: no product line
// naming it, no serial line, no well-formed expiry line, a file line ("a|b...") without a
// SHA-256 or a size field; empty when it would take it.
std::string SignedManifestProblem(const std::vector<ManifestLine>& lines, std::string_view product);

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
