#include "UpdateSign.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <sys/stat.h>
#include <cctype>
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

std::vector<ManifestLine> SplitLines(std::string_view text) {
  std::vector<ManifestLine> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    const std::size_t endSize =
        (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    lines.push_back(
        {std::string(text.substr(start, i - start)), std::string(text.substr(i, endSize))});
    i += endSize - 1;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back({std::string(text.substr(start)), ""});
  return lines;
}

bool IsVersionLine(std::string_view line) {
  std::string lower;
  for (char c : line)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return lower.find("version") != std::string::npos;
}

std::string SignedManifestProblem(const std::vector<ManifestLine>& lines,
                                  std::string_view product) {
  bool serial = false;
  bool expires = false;
  bool productLine = false;
  for (const ManifestLine& line : lines) {
    const std::string& t = line.text;
    if (t.starts_with("product=")) {
      if (t.substr(8) != product) return "the product line does not name " + std::string(product);
      productLine = true;
    } else if (t.starts_with("serial=")) {
      serial = t.size() > 7 && t.size() <= 26 &&
               t.find_first_not_of("0123456789", 7) == std::string::npos;
    } else if (t.starts_with("expires=")) {
      // YYYY-MM-DDTHH:MM:SSZ
      static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
      expires = t.size() == 8 + kShape.size();
      for (std::size_t i = 0; expires && i < kShape.size(); ++i) {
        const char c = t[8 + i];
        expires = kShape[i] == 'd' ? (c >= '0' && c <= '9') : c == kShape[i];
      }
    } else if (!IsVersionLine(t) && t.find('|') != std::string::npos) {
      // anything|address|SHA-256|size
      std::vector<std::string> fields;
      for (std::size_t start = 0;;) {
        const std::size_t bar = t.find('|', start);
        std::string field = t.substr(start, bar == std::string::npos ? bar : bar - start);
        while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
        while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.erase(0, 1);
        fields.push_back(std::move(field));
        if (bar == std::string::npos) break;
        start = bar + 1;
      }
      const std::string hash = fields.size() > 2 ? fields[2] : "";
      if (hash.size() != 64 ||
          hash.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return "a file line has no SHA-256: " + t;
      }
      const std::string size = fields.size() > 3 ? fields[3] : "";
      if (size.empty() || size.size() > 18 ||
          size.find_first_not_of("0123456789") != std::string::npos) {
        return "a file line has no size: " + t;
      }
    }
  }
  if (!productLine) return "no product line";
  if (!serial) return "no well-formed serial line";
  if (!expires) return "no well-formed expires line";
  return {};
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
