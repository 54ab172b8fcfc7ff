#include "platform/system/Crypto.h"

#include <openssl/evp.h>

#include "SystemLibraries.h"
#include "platform/system/Owner.h"

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

namespace platform {

namespace {

using detail::Crypto;

// Keys and contexts exist only once the library is open.
void FreePkey(EVP_PKEY* key) {
  Crypto()->pkey_free(key);
}
void FreeMdCtx(EVP_MD_CTX* ctx) {
  Crypto()->md_ctx_free(ctx);
}

using PkeyPtr = Owner<EVP_PKEY, FreePkey>;
using MdCtxPtr = Owner<EVP_MD_CTX, FreeMdCtx>;

std::string ToHex(const unsigned char* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    hex.push_back(kDigits[data[i] >> 4]);
    hex.push_back(kDigits[data[i] & 15]);
  }
  return hex;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Exactly `size` bytes written as hex digits.
std::optional<std::vector<unsigned char>> FromHex(std::string_view hex, std::size_t size) {
  if (hex.size() != size * 2) return {};
  std::vector<unsigned char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    const int hi = HexValue(hex[2 * i]);
    const int lo = HexValue(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return {};
    bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
  }
  return bytes;
}

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

PkeyPtr PrivateKeyFromSeed(std::string_view seedHex) {
  const auto seed = FromHex(seedHex, 32);
  if (!seed || Crypto() == nullptr) return {};
  return PkeyPtr(Crypto()->pkey_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed->data(), 32));
}

}  // namespace

std::string Sha256Hex(std::span<const std::uint8_t> bytes) {
  if (Crypto() == nullptr) return {};
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  Crypto()->digest(bytes.data(), bytes.size(), digest.data(), &size, Crypto()->sha256(), nullptr);
  return ToHex(digest.data(), size);
}

std::optional<std::string> Sha256HexOfFile(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rbe"), &std::fclose);
  if (!file || Crypto() == nullptr) return {};
  MdCtxPtr ctx(Crypto()->md_ctx_new());
  if (!ctx || Crypto()->digest_init_ex(ctx.get(), Crypto()->sha256(), nullptr) != 1) return {};
  std::vector<unsigned char> buffer(64 * 1024);
  for (;;) {
    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (n > 0) Crypto()->digest_update(ctx.get(), buffer.data(), n);
    if (n < buffer.size()) break;
  }
  if (std::ferror(file.get())) return {};
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (Crypto()->digest_final_ex(ctx.get(), digest.data(), &size) != 1) return {};
  return ToHex(digest.data(), size);
}

bool VerifyEd25519(std::span<const std::uint8_t> message, std::string_view signatureText,
                   std::string_view publicKeyHex) {
  const auto key = FromHex(TrimBlanks(publicKeyHex), 32);
  if (!key || Crypto() == nullptr) return false;
  signatureText = TrimBlanks(signatureText);
  // 64 bytes are 88 base64 characters with their padding.
  if (signatureText.size() != 88) return false;
  std::array<unsigned char, 66> signature{};
  const int decoded = Crypto()->decode_block(
      signature.data(), reinterpret_cast<const unsigned char*>(signatureText.data()),
      static_cast<int>(signatureText.size()));
  // EVP_DecodeBlock counts the padding as zero bytes: 66 for 64 bytes of signature.
  if (decoded != 66 || signatureText.substr(86) != "==") return false;
  PkeyPtr pkey(Crypto()->pkey_new_raw_public_key(EVP_PKEY_ED25519, nullptr, key->data(), 32));
  MdCtxPtr ctx(Crypto()->md_ctx_new());
  if (!pkey || !ctx) return false;
  if (Crypto()->digest_verify_init(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
    return false;
  return Crypto()->digest_verify(ctx.get(), signature.data(), 64, message.data(), message.size()) ==
         1;
}

std::optional<std::string> SignEd25519(std::span<const std::uint8_t> message,
                                       std::string_view seedHex) {
  PkeyPtr pkey = PrivateKeyFromSeed(seedHex);
  if (!pkey) return {};
  MdCtxPtr ctx(Crypto()->md_ctx_new());
  if (!ctx) return {};
  if (Crypto()->digest_sign_init(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1) return {};
  std::array<unsigned char, 64> signature{};
  std::size_t size = signature.size();
  if (Crypto()->digest_sign(ctx.get(), signature.data(), &size, message.data(), message.size()) !=
          1 ||
      size != 64) {
    return {};
  }
  std::array<unsigned char, 89> text{};
  const int n = Crypto()->encode_block(text.data(), signature.data(), 64);
  return std::string(reinterpret_cast<char*>(text.data()), static_cast<std::size_t>(n));
}

std::optional<std::string> Ed25519PublicKeyHex(std::string_view seedHex) {
  PkeyPtr pkey = PrivateKeyFromSeed(seedHex);
  if (!pkey) return {};
  std::array<unsigned char, 32> key{};
  std::size_t size = key.size();
  if (Crypto()->pkey_get_raw_public_key(pkey.get(), key.data(), &size) != 1 || size != 32) {
    return {};
  }
  return ToHex(key.data(), size);
}

}  // namespace platform
