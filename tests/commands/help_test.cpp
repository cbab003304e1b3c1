// The help listing's topics, and silence for everything it cannot answer. The
// overview per access level is told by the commands transcript.
#include "command_fixture.h"

namespace kadrel::testing {
namespace {

// Capitals are folded on the asker's side only.
TEST_F(CommandTest, ATopicIsAnsweredWhenItsCommandIsOpenToTheAsker) {
    const Texts cgetLines = {"!cget", "Syntax: !cget <player name>", "Shows how many credits a player has"};
    const Texts buyLines = {"!buy", "Syntax: !buy [item]", "Buys something from the bot",
                            "If no item is specified then displays what you can buy"};
    EXPECT_EQ(help(oper, "CGet"), cgetLines);
    EXPECT_EQ(help(PlayerRecord("Pl", 5, 0), "cget"), Texts{});
    EXPECT_EQ(help(PlayerRecord("Pl", 5, 0), "bUY"), buyLines);
    EXPECT_EQ(help(oper, "buy"), buyLines);
    EXPECT_EQ(help(PlayerRecord("Xx", 6, 13), "buy"), Texts{});
}

TEST_F(CommandTest, AnythingElseGetsNothing) {
    for (const char* topic : {"about", "help", "!creds", " creds", "creds ", "cred", "credss", "\xC3\xA7reds"}) {
        EXPECT_EQ(help(oper, topic), Texts{}) << topic;
    }
}

}  // namespace
}  // namespace kadrel::testing
