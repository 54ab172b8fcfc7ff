// The updater's reading of manifest file lines, and the signature check, as tables.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/UpdateHandOver.h"
#include "common/UpdateManifest.h"
#include "platform/system/Crypto.h"
#include "platform/system/EventLog.h"

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
      {"serial=12", Kind::Field, ""},
      {"expires=2030-01-01T00:00:00Z", Kind::Field, ""},
      {"product=talmar2", Kind::Field, ""},
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
  EXPECT_EQ(ReadManifestFileLine("m|http://h/a||1234").size, 1234);
  EXPECT_EQ(ReadManifestFileLine("m|http://h/a||12kB").size, -1) << "not a size";
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

// The rules of a signed manifest, at the clock's edges.
TEST(UpdateManifestTest, SignedManifestRules) {
  const std::int64_t expiry = *ParseUtcTime("2030-06-01T12:00:00Z");
  EXPECT_EQ(expiry, 1906545600);
  const std::string sha(64, 'a');
  const std::string head =
      "version=2.0.0\r\nproduct=talmar2\r\nserial=7\r\nexpires=2030-06-01T12:00:00Z\r\n";
  const std::string file = "c|https://h/c|" + sha + "|1234\r\n";
  const std::string fields = "product=talmar2\r\nserial=7\r\n";
  struct Row {
    const char* what;
    std::string text;
    std::int64_t now;
    std::uint64_t highest;
    bool accepted;
  };
  const std::vector<Row> rows = {
      {"good", head + file, expiry - 86400, 0, true},
      {"the expiry second itself", head + file, expiry, 0, true},
      {"one second after", head + file, expiry + 1, 0, false},
      {"equal serial: fetched again", head + file, expiry, 7, true},
      {"lower serial: a replay", head + file, expiry - 1, 8, false},
      {"fields before the version line, LF ends",
       "product=talmar2\nserial=7\nexpires=2030-06-01T12:00:00Z\nversion=2\n" + file, 0, 7, true},
      {"unhashed file line", head + file + "m|https://h/m||1\r\n", 0, 0, false},
      {"file line without a size", head + file + "m|https://h/m|" + sha + "\r\n", 0, 0, false},
      {"no product", "serial=7\r\nexpires=2030-06-01T12:00:00Z\r\n" + file, 0, 0, false},
      {"another game's", "product=talmar3\r\nserial=7\r\nexpires=2030-06-01T12:00:00Z\r\n", 0, 0,
       false},
      {"two products", head + "product=talmar2\r\n", 0, 0, false},
      {"no serial", "product=talmar2\r\nexpires=2030-06-01T12:00:00Z\r\n" + file, 0, 0, false},
      {"no expiry", "version=2\r\n" + fields + file, 0, 0, false},
      {"serial not decimal", "product=talmar2\r\nserial=0x7\r\nexpires=2030-06-01T12:00:00Z\r\n", 0,
       0, false},
      {"serial too long",
       "product=talmar2\r\nserial=" + std::string(20, '9') + "\r\nexpires=2030-06-01T12:00:00Z\r\n",
       0, 0, false},
      {"two serials", head + "serial=9\r\n", 0, 0, false},
      {"expiry without Z", fields + "expires=2030-06-01T12:00:00\r\n", 0, 0, false},
      {"no such day", fields + "expires=2030-02-29T12:00:00Z\r\n", 0, 0, false},
      {"a leap day", fields + "expires=2028-02-29T23:59:59Z\r\n", 0, 0, true},
      {"hour 24", fields + "expires=2030-06-01T24:00:00Z\r\n", 0, 0, false},
  };
  for (const Row& row : rows) {
    std::uint64_t serial = 0;
    const auto refused = CheckSignedManifest(row.text, row.now, row.highest, serial);
    EXPECT_EQ(!refused.has_value(), row.accepted) << row.what << ": " << refused.value_or("");
    if (row.accepted) EXPECT_EQ(serial, 7u) << row.what;
  }
}

// The kept manifest with a key: signature, rules and the highest serial in the state file,
// missing, corrupt or unwritable.
TEST(UpdateManifestTest, HighestSerialStateFile) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("serial-test-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string seed(64, '5');
  ManifestTrust trust;
  trust.publicKey = *platform::Ed25519PublicKeyHex(seed);
  trust.now = *ParseUtcTime("2030-01-01T00:00:00Z");
  trust.serialPath = (dir / "state" / "talmar2" / "update-serial").string();
  const std::string manifestPath = (dir / "update.txt").string();
  auto put = [&](std::uint64_t serial, const std::string& product = "talmar2") {
    const std::string text = "version=2\r\nproduct=" + product +
                             "\r\nserial=" + std::to_string(serial) +
                             "\r\nexpires=2030-01-02T00:00:00Z\r\n";
    std::ofstream(manifestPath, std::ios::binary) << text;
    std::ofstream(manifestPath + ".sig") << *platform::SignEd25519(
        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, seed);
  };
  auto usable = [&] {
    return ReadKeptManifest(manifestPath, trust).status == KeptManifest::Status::Usable;
  };
  std::vector<std::string> log;
  platform::SetEventLogSink([&](std::string_view line) { log.emplace_back(line); });

  put(5);
  EXPECT_TRUE(usable()) << "no state file yet";
  EXPECT_EQ(ReadHighestSerial(trust.serialPath), 5u) << "saved as soon as accepted";
  put(4);
  EXPECT_FALSE(usable()) << "a kept manifest below the highest serial";
  put(9, "talmar2-beta");
  EXPECT_FALSE(usable()) << "another channel's manifest signed with the same key";
  EXPECT_EQ(ReadHighestSerial(trust.serialPath), 5u) << "and it raised no serial";
  put(5);
  EXPECT_TRUE(usable());
  std::ofstream(trust.serialPath) << "garbage\n";
  log.clear();
  put(1);
  EXPECT_TRUE(usable()) << "a corrupt state file counts as 0";
  EXPECT_EQ(log.size(), 1u) << "and is logged";
  EXPECT_EQ(ReadHighestSerial(trust.serialPath), 1u);
  // A state folder that cannot be written: the manifest is still taken, and the failure logged.
  fs::remove_all(dir / "state");
  std::ofstream((dir / "state").string()) << "a file where the folder should be";
  log.clear();
  put(9);
  EXPECT_TRUE(usable());
  EXPECT_EQ(log.size(), 1u);
  EXPECT_EQ(ReadHighestSerial(trust.serialPath), 0u);
  platform::SetEventLogSink({});
  fs::remove_all(dir);
}

}  // namespace
