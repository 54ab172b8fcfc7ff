#pragma once

#include <map>
#include <string>
#include <string_view>

// The zoom of the game pages, per site: the level of each host (in percent, 50 to 300) is kept
// in the user's state directory ($XDG_STATE_HOME/talmar2/zoom, a line "host percent" per
// site) and read again at every use, so it survives a restart.
namespace sitezoom {

inline constexpr int kMin = 50;
inline constexpr int kMax = 300;

// The next level up (direction > 0) or down from `percent`, on the usual steps; 100 for 0.
int Step(int percent, int direction);
// The host of an http or https address, in lower case and without port; "" for others.
std::string SiteOf(std::string_view url);

// The file's text read into levels and back (lines that do not parse are dropped).
std::map<std::string, int> Parse(std::string_view text);
std::string Format(const std::map<std::string, int>& levels);

// The level of the site (100 when none is kept) and keeping one (100 forgets it).
int Level(const std::string& site);
void Keep(const std::string& site, int percent);

}  // namespace sitezoom
