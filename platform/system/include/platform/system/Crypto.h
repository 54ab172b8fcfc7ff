#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Hashes and signatures for the update chain (OpenSSL underneath, opened at the first call).
// Without that library every hash is empty and no signature is valid.

namespace platform {

// The SHA-256 of the bytes, as 64 lower-case hex digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);
// The SHA-256 of a file's content; nothing when it cannot be read.
std::optional<std::string> Sha256HexOfFile(const std::string& path);

// True when `signatureText` (the base64 of a 64-byte Ed25519 signature; blanks and line ends
// around it are allowed) is a valid signature of `message` by the key `publicKeyHex` (the 32-byte
// raw public key as 64 hex digits). Anything malformed is simply not valid.
bool VerifyEd25519(std::span<const std::uint8_t> message, std::string_view signatureText,
                   std::string_view publicKeyHex);

// Signs `message` with the Ed25519 private key given as its 32-byte seed in 64 hex digits; the
// base64 signature, or nothing when the seed is malformed.
std::optional<std::string> SignEd25519(std::span<const std::uint8_t> message,
                                       std::string_view seedHex);
// The public key (64 hex digits) of a 32-byte seed; nothing when the seed is malformed.
std::optional<std::string> Ed25519PublicKeyHex(std::string_view seedHex);

}  // namespace platform
