#include "mainwin/SiteZoom.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <filesystem>

#include "MainWinLog.h"
#include "common/Settings.h"
#include "platform/system/Files.h"

namespace sitezoom {

namespace {

constexpr std::array kSteps{50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
constexpr std::size_t kMaxFile = 1 << 16;
constexpr std::size_t kMaxSites = 500;

std::string Directory() {
  return platform::UserStateDir() + "/" + GameId;
}

std::string File() {
  return Directory() + "/zoom";
}

std::map<std::string, int> Load() {
  const auto text = platform::ReadFileLimited(File(), kMaxFile);
  return text ? Parse(*text) : std::map<std::string, int>{};
}

}  // namespace

int Step(int percent, int direction) {
  if (direction == 0) return 100;
  if (direction > 0) {
    for (const int s : kSteps) {
      if (s > percent) return s;
    }
    return kMax;
  }
  for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it) {
    if (*it < percent) return *it;
  }
  return kMin;
}

std::string SiteOf(std::string_view url) {
  std::string lower(url.substr(0, std::min<std::size_t>(url.size(), 2048)));
  std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return std::tolower(c); });
  std::size_t start = 0;
  if (lower.starts_with("http://")) {
    start = 7;
  } else if (lower.starts_with("https://")) {
    start = 8;
  } else {
    return "";
  }
  std::string host = lower.substr(start, lower.find_first_of("/?#", start) - start);
  if (const auto at = host.rfind('@'); at != std::string::npos) host.erase(0, at + 1);
  if (host.starts_with('[')) return host.substr(0, host.find(']') + 1);
  return host.substr(0, host.find(':'));
}

std::map<std::string, int> Parse(std::string_view text) {
  std::map<std::string, int> levels;
  while (!text.empty() && levels.size() < kMaxSites) {
    const std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(std::min(text.size(), line.size() + 1));
    const auto space = line.rfind(' ');
    if (space == std::string_view::npos || space == 0) continue;
    int percent = 0;
    const std::string_view number = line.substr(space + 1);
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), percent);
    if (error != std::errc() || end != number.data() + number.size()) continue;
    if (percent < kMin || percent > kMax) continue;
    levels[std::string(line.substr(0, space))] = percent;
  }
  return levels;
}

std::string Format(const std::map<std::string, int>& levels) {
  std::string text;
  for (const auto& [site, percent] : levels) {
    text += site + " " + std::to_string(percent) + "\n";
  }
  return text;
}

int Level(const std::string& site) {
  if (site.empty()) return 100;
  const std::map<std::string, int> levels = Load();
  const auto it = levels.find(site);
  return it != levels.end() ? it->second : 100;
}

void Keep(const std::string& site, int percent) {
  if (site.empty() || site.find_first_of(" \n") != std::string::npos) return;
  std::map<std::string, int> levels = Load();
  if (percent == 100) {
    levels.erase(site);
  } else {
    levels[site] = std::clamp(percent, kMin, kMax);
  }
  try {
    std::filesystem::create_directories(Directory());
    const std::string text = Format(levels);
    platform::ReplaceFileContent(File(),
                                 {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  } catch (const std::exception& e) {
    kMainWinLog.Event(std::string("zoom not kept: ") + e.what());
  }
}

}  // namespace sitezoom
