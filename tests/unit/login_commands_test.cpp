// The login page's commands: which one an address carries, and the game address it hands on.

#include <gtest/gtest.h>

#include <string>

#include "app/LoginFrm.h"

namespace {

using Command = LoginFrm::Command;

struct Row {
  const char* name;
  std::string url;
  Command command;
  std::string game;  // what "app://loadgame" would hand on
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.name; }

class LoginCommands : public ::testing::TestWithParam<Row> {};

TEST_P(LoginCommands, CommandAndGameAddress) {
  const Row& r = GetParam();
  EXPECT_EQ(LoginFrm::CommandOf(r.url), r.command);
  EXPECT_EQ(LoginFrm::GameAddressOf(r.url), r.game);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoginCommands,
    ::testing::Values(
        Row{"PlainPage", "http://portal/games/talmar2/dlq/", Command::None, ""},
        Row{"LoadGame", "app://loadgame|http://g.example/play/1", Command::LoadGame,
            "http://g.example/play/1"},
        Row{"LoadGameWithTrailingPiece", "app://loadgame|http://g.example/1|more|x",
            Command::LoadGame, "http://g.example/1"},
        Row{"LoadGameHttps", "app://loadgame|https://g.example/1?user=a", Command::LoadGame,
            "https://g.example/1?user=a"},
        Row{"LoadGameWithoutBar", "app://loadgame", Command::LoadGame, ""},
        Row{"LoadGameEmptyAddress", "app://loadgame||", Command::LoadGame, ""},
        Row{"LoadGameScriptAddress", "app://loadgame|javascript:alert(1)", Command::LoadGame, ""},
        Row{"LoadGameFileAddress", "app://loadgame|file:///etc/passwd", Command::LoadGame, ""},
        Row{"LoadGameBareScheme", "app://loadgame|http://", Command::LoadGame, ""},
        Row{"MinimizeWithMoreText", "app://minimize?x=1", Command::Minimize, ""},
        Row{"CommandInsideAnAddress", "http://portal/go?to=app://minimize", Command::Minimize,
            ""},
        Row{"ExitBeforeLoad", "app://loadgame|http://g/1|app://exitgame", Command::ExitGame,
            "http://g/1"},
        Row{"CaseSensitive", "APP://LOADGAME|http://g/1", Command::None, "http://g/1"},
        Row{"MinimizeBeforeLoad", "app://loadgame|http://g/app://minimize", Command::Minimize,
            "http://g/app://minimize"}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
