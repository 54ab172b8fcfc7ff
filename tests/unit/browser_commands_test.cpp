// The BROWSER variable's commands: what each entry runs, as the arguments a program receives.

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/desktop/Shell.h"

namespace {

using Argvs = std::vector<std::vector<std::string>>;

Argvs Arguments(const char* variable, const char* uri) {
  Argvs all;
  for (const std::string& command : platform::BrowserCommands(variable, uri)) {
    gchar** argv = nullptr;
    EXPECT_TRUE(g_shell_parse_argv(command.c_str(), nullptr, &argv, nullptr)) << command;
    std::vector<std::string> one;
    for (gchar** a = argv; a != nullptr && *a != nullptr; ++a) one.emplace_back(*a);
    g_strfreev(argv);
    all.push_back(one);
  }
  return all;
}

struct Case {
  const char* name;
  const char* variable;
  const char* uri;
  Argvs expected;
};

class BrowserCommandsTest : public ::testing::TestWithParam<Case> {};

TEST_P(BrowserCommandsTest, ArgumentsAsTheProgramGetsThem) {
  EXPECT_EQ(Arguments(GetParam().variable, GetParam().uri), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrowserCommandsTest,
    ::testing::Values(
        Case{"AddressAddedWithoutPercentS", "firefox", "http://h/", {{"firefox", "http://h/"}}},
        Case{"InOrderEmptyEntriesSkipped",
             ":a::b --new-tab:",
             "http://h/",
             {{"a", "http://h/"}, {"b", "--new-tab", "http://h/"}}},
        Case{"PercentSReplacedAndPercentPercentKept",
             "w3m -o x=%s%%",
             "http://h/",
             {{"w3m", "-o", "x=http://h/%"}}},
        Case{"ShellSyntaxInTheAddressStaysOneArgument",
             "b %s",
             "http://h/a b';$(touch x)\"&c",
             {{"b", "http://h/a b';$(touch x)\"&c"}}},
        Case{"NothingSet", "", "http://h/", {}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
