// The manifest's version rule, as a table, plus inputs no manifest should contain.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "common/ManifestVersion.h"
#include "common/UpdateHandOver.h"

namespace {

struct Case {
  const char* name;
  std::string manifest;
  bool found;
  std::string value;
  bool equalsOwn;  // compared with "1.1.0"
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ManifestRule : public ::testing::TestWithParam<Case> {};

TEST_P(ManifestRule, ReadsTheVersionLine) {
  const Case& c = GetParam();
  std::istringstream in(c.manifest);
  const ManifestVersion v = ReadManifestVersion(in);
  EXPECT_EQ(v.found, c.found);
  EXPECT_EQ(v.value, c.value);
  EXPECT_FALSE(v.truncated);
  EXPECT_EQ(v.Equals("1.1.0"), c.equalsOwn);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Table, ManifestRule,
    ::testing::Values(
        Case{"Plain", "version=1.1.0\r\n", true, "1.1.0", true},
        Case{"CapitalKeySameVersion", "VERSION=1.1.0\r\n", true, "1.1.0", true},
        Case{"BlanksAfterValue", "VERSION=1.1.0   \r\n", true, "1.1.0", true},
        Case{"BlanksBothEnds", "version=   1.1.0  \r\n", true, "1.1.0", true},
        Case{"TabsAreKept", "version=\t1.1.0\t\r\n", true, "\t1.1.0\t", false},
        Case{"InnerBlanksKept", "version=1.1 .0\r\n", true, "1.1 .0", false},
        Case{"TwoBlanksBeforeKey", "  VERSION=1.1.0\r\n", true, "N=1.1.0", false},
        Case{"AnySeparator", "version:1.1.0", true, "1.1.0", true},
        Case{"KeyAnywhereInLine", "app version 1.1.0\r\n", true, "ion 1.1.0", false},
        Case{"LowerVersionDiffers", "version=1.0.9\r\n", true, "1.0.9", false},
        Case{"OtherSpellingDiffers", "version=1.01\r\n", true, "1.01", false},
        Case{"CaseSensitiveValue", "version=1.1.0A\r\n", true, "1.1.0A", false},
        Case{"FirstOfTwoVersionLines", "version=1.1.0\r\nversion=2.0.0\r\n", true, "1.1.0", true},
        Case{"SecondOfTwoVersionLines", "a|http://x/a\r\nVersion=2.0.0\r\nversion=1.1.0\r\n", true,
             "2.0.0", false},
        Case{"CrAloneEndsLine", "file|http://x/f\rversion=1.1.0\r", true, "1.1.0", true},
        Case{"LfOnlyIsOneLine", "version=1.1.0\nfile|http://x/f\n", true,
             "1.1.0\nfile|http://x/f\n", false},
        Case{"LfBeforeCrStaysInLine", "x\nversion=1.1.0\r\n", true, "n=1.1.0", false},
        Case{"NoTerminatorAtEnd", "a|b\r\nversion=1.1.0", true, "1.1.0", true},
        Case{"ShortVersionLine", "version\r\n", true, "", false},
        Case{"KeyOnlyWithSeparator", "version=\r\n", true, "", false},
        Case{"NoVersionLine", "a|http://x/a\r\nb|http://x/b\r\n", false, "", false},
        Case{"Empty", "", false, "", false},
        Case{"KeySplitByLineEnd", "vers\r\nion=1.1.0\r\n", false, "", false},
        Case{"NulBytes", "version=1.1\0.0\r\n"s, true, "1.1\0.0"s, false},
        Case{"NulInSkippedPart", "\0\0\0version=1.1.0\r\n"s, true, "on=1.1.0", false},
        Case{"Utf8CountsCharacters", "版本version=1.1.0", true, "n=1.1.0", false},
        Case{"Utf8KeyAfterEightChars", "更新版本信息说明:version 1.1.0\r\n", true,
             ":version 1.1.0", false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A stream of `size` bytes made on the fly: a prefix, then one filler byte repeated.
class GeneratedBuf : public std::streambuf {
 public:
  GeneratedBuf(std::string prefix, char filler, std::uint64_t size)
      : m_prefix(std::move(prefix)), m_filler(filler), m_left(size) {}

 protected:
  int_type underflow() override {
    if (m_left == 0) return traits_type::eof();
    std::size_t n = 0;
    while (n < sizeof m_buf && m_left > 0) {
      m_buf[n++] = m_pos < m_prefix.size() ? m_prefix[m_pos] : m_filler;
      ++m_pos;
      --m_left;
    }
    setg(m_buf, m_buf, m_buf + n);
    return traits_type::to_int_type(m_buf[0]);
  }

 private:
  std::string m_prefix;
  char m_filler;
  std::uint64_t m_left;
  std::uint64_t m_pos = 0;
  char m_buf[65536];
};

TEST(ManifestStream, HugeVersionLineIsBoundedAndDiffers) {
  // One gigabyte without a line end, starting with a version line: only a bounded value is
  // kept and the answer is known long before the end.
  GeneratedBuf buf("version=1.1.0", 'x', 1ull << 30);
  std::istream in(&buf);
  const ManifestVersion v = ReadManifestVersion(in);
  EXPECT_TRUE(v.found);
  EXPECT_TRUE(v.truncated);
  EXPECT_EQ(v.value.size(), ManifestVersion::kMaxValueBytes);
  EXPECT_FALSE(v.Equals("1.1.0"));
}

TEST(ManifestStream, TenMegabyteLineWithoutVersionThenVersionLine) {
  std::string manifest(10u << 20, 'a');
  manifest += "\rversion=1.1.0\r\n";
  std::istringstream in(manifest);
  const ManifestVersion v = ReadManifestVersion(in);
  EXPECT_TRUE(v.Equals("1.1.0"));
}

TEST(ManifestStream, ManyTrailingBlanksStillEqual) {
  std::string manifest = "version=1.1.0" + std::string(5u << 20, ' ') + "\r\n";
  std::istringstream in(manifest);
  EXPECT_TRUE(ReadManifestVersion(in).Equals("1.1.0"));
}

TEST(ManifestStream, BinaryGarbageWithoutKey) {
  std::string manifest;
  for (int i = 0; i < 1 << 20; ++i) manifest.push_back(static_cast<char>((i * 7919) & 0xFF));
  std::istringstream in(manifest);
  const ManifestVersion v = ReadManifestVersion(in);
  // Whatever the bytes hold, the answer is a well-formed result (found or not), never a hang.
  if (v.found) {
    EXPECT_LE(v.value.size(), ManifestVersion::kMaxValueBytes);
  }
}

TEST(UpdaterCommandLine, DirectoryBarExecutable) {
  EXPECT_EQ(UpdaterCommandLine("/opt/game/Zorvik_talmar2"),
            "/opt/game|/opt/game/Zorvik_talmar2");
  EXPECT_EQ(UpdaterCommandLine("/Zorvik_talmar2"), "/|/Zorvik_talmar2");
  EXPECT_EQ(UpdaterCommandLine("/home/u/我的 游戏/client"), "/home/u/我的 游戏|/home/u/我的 游戏/client");
  // What the updater reads back.
  struct Row {
    std::string text, directory, executable;
  };
  for (const Row& row : std::vector<Row>{
           {UpdaterCommandLine("/opt/game/c"), "/opt/game", "/opt/game/c"},
           {UpdaterCommandLine("/c"), "/", "/c"},
           {"/opt/game//|/opt/game/c|extra", "/opt/game", "/opt/game/c"},
           {"/opt/game", "/opt/game", ""},
           {"", "", ""},
       }) {
    const UpdaterTarget t = ParseUpdaterCommandLine(row.text);
    EXPECT_EQ(t.directory, row.directory) << row.text;
    EXPECT_EQ(t.executable, row.executable) << row.text;
  }
  EXPECT_EQ(SplitAtBars("a||b|").size(), 4u);
}

// The updater run as root refuses a client directory of another user.
TEST(UpdaterCommandLine, RootRefusesAnotherUsersDirectory) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  char dir[] = "/tmp/root-check-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  EXPECT_FALSE(RootOnForeignDirectory(dir));
  ASSERT_EQ(::chown(dir, 65534, 65534), 0);
  EXPECT_TRUE(RootOnForeignDirectory(dir));
  ::rmdir(dir);
}

}  // namespace
