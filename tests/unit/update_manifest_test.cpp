// The updater's reading of manifest file lines, and the signature check, as tables.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/UpdateManifest.h"
#include "platform/system/Crypto.h"

namespace {

using Kind = ManifestFileLine::Kind;

TEST(UpdateManifestTest, FileLines) {
  const std::string sha(64, 'a');
  struct Row {
    std::string line;
    Kind kind;
    std::string name;  // File: the name; else ignored
    std::string url = {};
  };
  const std::vector<Row> rows = {
      {"client|http://h/d/Zorvik_talmar2", Kind::File, "Zorvik_talmar2",
       "http://h/d/Zorvik_talmar2"},
      {"m|HTTPS://h/libx.so|" + sha, Kind::File, "libx.so"},
      {"m| http://h/a.bin |" + std::string(64, 'F'), Kind::File, "a.bin", "http://h/a.bin"},
      {"m|http://h/a.bin||extra", Kind::File, "a.bin"},   // empty hash field: none
      {"m|http://h/a.bin?x=1", Kind::File, "a.bin?x=1"},  // the text after the last "/"
      {"VERSION=1.2.0", Kind::Version, ""},
      {"m|http://h/version.dat", Kind::Version, ""},  // any line holding "version"
      {"", Kind::Blank, ""},
      {" \t ", Kind::Blank, ""},
      {"only-one-field", Kind::Refused, ""},
      {"m|ftp://h/a.bin", Kind::Refused, ""},
      {"m|file:///etc/passwd", Kind::Refused, ""},
      {"m|/local/a.bin", Kind::Refused, ""},
      {"m|http://h/", Kind::Refused, ""},  // empty name
      {"m|http://h/.", Kind::Refused, ""},
      {"m|http://h/..", Kind::Refused, ""},
      {"m|http://h/a\\..\\b", Kind::Refused, ""},  // backslash
      {"m|http://h/a\x01"
       "b",
       Kind::Refused, ""},  // control character
      {"m|http://h/a b", Kind::Refused, ""},
      {"m|http://h/.talmar2-update-abc123", Kind::Refused, ""},  // hidden: our temporary names
      {"m|http://h/a.bin|1234", Kind::Refused, ""},              // a hash that is not SHA-256
      {"m|http://h/a.bin|" + std::string(64, 'g'), Kind::Refused, ""},
  };
  for (const Row& row : rows) {
    const ManifestFileLine r = ReadManifestFileLine(row.line);
    EXPECT_EQ(r.kind, row.kind) << row.line;
    if (row.kind == Kind::File) {
      EXPECT_EQ(r.name, row.name) << row.line;
      if (!row.url.empty()) EXPECT_EQ(r.url, row.url) << row.line;
    }
    if (row.kind == Kind::Refused) EXPECT_FALSE(r.reason.empty()) << row.line;
  }
  EXPECT_EQ(ReadManifestFileLine("m|http://h/a|" + std::string(64, 'F')).sha256,
            std::string(64, 'f'));
}

TEST(UpdateManifestTest, LineEndsBomAndSize) {
  struct Row {
    std::string text;
    std::vector<std::string> lines;
  };
  const std::vector<Row> rows = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      {"\xEF\xBB\xBFversion=1\r\nf|http://h/x", {"version=1", "f|http://h/x"}},
      {"a\r\n\r\n\nb", {"a", "", "", "b"}},
      {"", {}},
  };
  for (const Row& row : rows) {
    const auto got = SplitManifestLines(row.text);
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.end()), row.lines) << row.text;
  }
  // Ten thousand lines are read one by one.
  std::string big;
  for (int i = 0; i < 10000; ++i) big += "f|http://h/file" + std::to_string(i) + "\r\n";
  EXPECT_EQ(SplitManifestLines(big).size(), 10000u);
}

TEST(UpdateManifestTest, SignatureVerifyAndRefuse) {
  const std::string seed = "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60";
  const std::string key = *platform::Ed25519PublicKeyHex(seed);
  const std::string other = *platform::Ed25519PublicKeyHex(std::string(64, '1'));
  auto bytes = [](const std::string& s) {
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  const std::string manifest = "version=1.2.0\r\nclient|https://h/c\r\n";
  const std::string sig = *platform::SignEd25519(bytes(manifest), seed);
  std::string flipped = sig;
  flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
  std::string upperKey = key;
  for (char& c : upperKey) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  struct Row {
    const char* what;
    std::string message, signature, key;
    bool valid;
  };
  const std::vector<Row> rows = {
      {"valid", manifest, sig, key, true},
      {"valid, with a line end and blanks", manifest, "  " + sig + "\r\n", key, true},
      {"key in capitals", manifest, sig, upperKey, true},
      {"message changed", manifest + " ", sig, key, false},
      {"signature changed", manifest, flipped, key, false},
      {"other key", manifest, sig, other, false},
      {"signature cut", manifest, sig.substr(0, 80), key, false},
      {"not base64", manifest, std::string(86, '!') + "==", key, false},
      {"empty signature", manifest, "", key, false},
      {"no key", manifest, sig, "", false},
      {"short key", manifest, sig, key.substr(2), false},
      {"key not hex", manifest, sig, std::string(64, 'z'), false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::VerifyEd25519(bytes(row.message), row.signature, row.key), row.valid)
        << row.what;
  }
  EXPECT_EQ(key, "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a")
      << "the test vector's public key";
}

}  // namespace
