#include "common/UpdateHandOver.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "common/Settings.h"
#include "common/SharedRoutines.h"
#include "common/UpdateManifest.h"
#include "platform/system/Crypto.h"
#include "platform/system/Files.h"

namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Decimal digits only, at most 19 of them (so that the value fits).
std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 19) return {};
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return {};
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t bar = text.find(separator, start);
    pieces.push_back(text.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) return pieces;
    start = bar + 1;
  }
}

std::string UpdaterCommandLine(const std::string& executablePath) {
  std::string dir = executablePath.substr(0, executablePath.rfind('/'));
  if (dir.empty()) dir = "/";
  const std::string name = executablePath.substr(executablePath.rfind('/') + 1);
  return dir + "|" + (dir == "/" ? dir : dir + "/") + name;
}

UpdaterTarget ParseUpdaterCommandLine(std::string_view commandLine) {
  const auto pieces = SplitAtBars(commandLine);
  UpdaterTarget target;
  target.directory = std::string(pieces[0]);
  while (target.directory.size() > 1 && target.directory.back() == '/') {
    target.directory.pop_back();
  }
  if (pieces.size() > 1) target.executable = std::string(pieces[1]);
  return target;
}

bool ClientDirectoryWritable(const std::string& dir) {
  const auto probe = platform::CreateUniqueFile(dir + "/" + kUpdateTempPrefix);
  if (!probe) return false;
  platform::RemoveFile(*probe);
  return true;
}

bool RootOnForeignDirectory(const std::string& dir) {
  return platform::RootOnOthersPath(dir);
}

std::string KeptManifestPath() {
  return GetTempDir() + "update.txt";
}

std::string SignaturePathOf(const std::string& manifestPath) {
  return manifestPath + ".sig";
}

std::optional<std::int64_t> ParseUtcTime(std::string_view t) {
  // YYYY-MM-DDTHH:MM:SSZ
  if (t.size() != 20 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
      t[16] != ':' || t[19] != 'Z') {
    return {};
  }
  const auto year = ParseDecimal(t.substr(0, 4));
  const auto month = ParseDecimal(t.substr(5, 2));
  const auto day = ParseDecimal(t.substr(8, 2));
  const auto hour = ParseDecimal(t.substr(11, 2));
  const auto minute = ParseDecimal(t.substr(14, 2));
  const auto second = ParseDecimal(t.substr(17, 2));
  if (!year || !month || !day || !hour || !minute || !second) return {};
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  if (*month < 1 || *month > 12 || *day < 1 ||
      *day > kDays[*month - 1] + ((*month == 2 && leap) ? 1 : 0) || *hour > 23 || *minute > 59 ||
      *second > 59) {
    return {};
  }
  const std::int64_t days = DaysFromCivil(
      static_cast<std::int64_t>(*year), static_cast<unsigned>(*month), static_cast<unsigned>(*day));
  return days * 86400 + static_cast<std::int64_t>(*hour * 3600 + *minute * 60 + *second);
}

std::optional<std::string> CheckSignedManifest(std::string_view text, std::int64_t now,
                                               std::uint64_t highestSerial, std::uint64_t& serial) {
  std::optional<std::uint64_t> foundSerial;
  std::optional<std::int64_t> expires;
  std::optional<std::string_view> product;
  int lineNumber = 0;
  for (std::string_view line : SplitManifestLines(text)) {
    ++lineNumber;
    if (line.starts_with("product=")) {
      if (product) return "two product lines";
      product = line.substr(8);
    } else if (line.starts_with("serial=")) {
      if (foundSerial) return "two serial lines";
      foundSerial = ParseDecimal(line.substr(7));
      if (!foundSerial) return "the serial line is malformed";
    } else if (line.starts_with("expires=")) {
      if (expires) return "two expires lines";
      expires = ParseUtcTime(line.substr(8));
      if (!expires) return "the expires line is malformed";
    } else {
      const ManifestFileLine file = ReadManifestFileLine(line);
      if (file.kind == ManifestFileLine::Kind::File && file.sha256.empty()) {
        return "file line " + std::to_string(lineNumber) + " has no SHA-256";
      }
      if (file.kind == ManifestFileLine::Kind::File && file.size < 0) {
        return "file line " + std::to_string(lineNumber) + " has no size";
      }
    }
  }
  // Checked before the serial: a manifest of another game or channel signed with the same key
  // must not raise this one's serial.
  if (!product) return std::string("no product line");
  if (*product != GameId) return std::string("the manifest is for another product than ") + GameId;
  if (!foundSerial) return std::string("no serial line");
  if (!expires) return std::string("no expires line");
  if (now > *expires) return std::string("the manifest has expired");
  if (*foundSerial < highestSerial) {
    return "serial " + std::to_string(*foundSerial) + " is below the highest accepted, " +
           std::to_string(highestSerial);
  }
  serial = *foundSerial;
  return {};
}

std::string HighestSerialPath() {
  std::string state;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
    state = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    state = std::string(home) + "/.local/state";
  } else {
    return {};
  }
  return state + "/" + GameId + "/update-serial";
}

std::uint64_t ReadHighestSerial(const std::string& path) {
  if (path.empty() || !platform::FileExists(path)) return 0;
  auto text = platform::ReadFileLimited(path, 64);
  if (text && !text->empty() && text->back() == '\n') text->pop_back();
  const auto serial = text ? ParseDecimal(*text) : std::nullopt;
  if (!serial) {
    kUpdateLog.Event(path + " holds no serial; it counts as 0");
    return 0;
  }
  return *serial;
}

bool SaveHighestSerial(const std::string& path, std::uint64_t serial) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const std::string text = std::to_string(serial) + "\n";
  try {
    platform::ReplaceFileContent(path,
                                 {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  } catch (const std::exception& e) {
    kUpdateLog.Event("cannot keep the manifest's serial in " + path + ": " + e.what());
    return false;
  }
  return true;
}

ManifestTrust CurrentTrust(const std::string& publicKey) {
  ManifestTrust trust;
  trust.publicKey = publicKey;
  trust.now = std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                  .count();
  trust.serialPath = HighestSerialPath();
  return trust;
}

KeptManifest ReadKeptManifest(const std::string& manifestPath, const ManifestTrust& trust) {
  const std::string& publicKey = trust.publicKey;
  KeptManifest result;
  bool tooLarge = false;
  auto content = platform::ReadFileLimited(manifestPath, kMaxManifestBytes, &tooLarge);
  if (!content) {
    if (tooLarge) {
      result.status = KeptManifest::Status::Refused;
      result.reason = "the manifest is too large";
    }
    return result;
  }
  if (!publicKey.empty()) {
    const auto signature =
        platform::ReadFileLimited(SignaturePathOf(manifestPath), kMaxSignatureBytes);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(content->data());
    if (!signature || !platform::VerifyEd25519({bytes, content->size()}, *signature, publicKey)) {
      result.status = KeptManifest::Status::Refused;
      result.reason = "the manifest's signature does not verify";
      return result;
    }
    const std::uint64_t highest = ReadHighestSerial(trust.serialPath);
    std::uint64_t serial = 0;
    if (auto refused = CheckSignedManifest(*content, trust.now, highest, serial)) {
      result.status = KeptManifest::Status::Refused;
      result.reason = std::move(*refused);
      return result;
    }
    if (serial > highest) SaveHighestSerial(trust.serialPath, serial);
  }
  result.status = KeptManifest::Status::Usable;
  result.text = std::move(*content);
  return result;
}
