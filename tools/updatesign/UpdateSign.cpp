#include "UpdateSign.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <sys/stat.h>
#include <cstdio>
#include <memory>

namespace updatesign {

namespace {

struct PkeyDeleter {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyDeleter>;

PkeyPtr FromSeed(const std::string& seed) {
  return PkeyPtr(EVP_PKEY_new_raw_private_key(
      EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(seed.data()), seed.size()));
}

std::string Hex(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < size; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 15]);
  }
  return hex;
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) return {};
  return Hex(digest, size);
}

bool GenerateKey(const std::string& path) {
  EVP_PKEY* raw = nullptr;
  std::unique_ptr<EVP_PKEY_CTX, void (*)(EVP_PKEY_CTX*)> ctx(
      EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr), &EVP_PKEY_CTX_free);
  if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &raw) != 1) {
    return false;
  }
  PkeyPtr key(raw);
  const mode_t old = ::umask(077);
  FILE* file = std::fopen(path.c_str(), "w");
  ::umask(old);
  if (file == nullptr) return false;
  const bool ok = PEM_write_PrivateKey(file, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  return std::fclose(file) == 0 && ok;
}

std::optional<Key> Key::Load(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return {};
  PkeyPtr key(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
  std::fclose(file);
  if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) return {};
  unsigned char seed[32];
  std::size_t size = sizeof seed;
  if (EVP_PKEY_get_raw_private_key(key.get(), seed, &size) != 1 || size != 32) return {};
  Key k;
  k.m_seed.assign(reinterpret_cast<char*>(seed), size);
  return k;
}

std::string Key::Sign(std::string_view message) const {
  PkeyPtr key = FromSeed(m_seed);
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  unsigned char signature[64];
  std::size_t size = sizeof signature;
  if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
      EVP_DigestSign(ctx.get(), signature, &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return {};
  }
  unsigned char text[89];
  const int n = EVP_EncodeBlock(text, signature, static_cast<int>(size));
  return std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(n));
}

std::string Key::PublicKeyHex() const {
  PkeyPtr key = FromSeed(m_seed);
  unsigned char pub[32];
  std::size_t size = sizeof pub;
  if (!key || EVP_PKEY_get_raw_public_key(key.get(), pub, &size) != 1) return {};
  return Hex(pub, size);
}

}  // namespace updatesign
