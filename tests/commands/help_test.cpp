// The help listing: the overview per access level, one entry per topic, and
// silence for everything it cannot answer.
#include "command_fixture.h"

namespace kadrel::testing {
namespace {

const std::string operatorLine = "!cgive, !ctake !cget !creset";
const std::string playerLine = "!about !creds !buy !donate";

const Texts cgiveLines = {"!cgive", "Syntax: !cgive <player name>:<credits>", "Adds credits to a player"};
const Texts ctakeLines = {"!ctake", "Syntax: !ctake <player name>:<credits>", "Removes credits from a player"};
const Texts cgetLines = {"!cget", "Syntax: !cget <player name>", "Shows how many credits a player has"};
const Texts cresetLines = {"!creset", "Syntax: !creset", "Resets all credits"};
const Texts credsLines = {"!creds", "Syntax: !creds", "Displays how many credits you have"};
const Texts buyLines = {"!buy", "Syntax: !buy [item]", "Buys something from the bot",
                        "If no item is specified then displays what you can buy"};
const Texts donateLines = {"!donate", "Syntax: !donate <player name>:<credits>", "Donates some credits to a player"};

struct OverviewCase {
    uint32_t level;
    Texts expected;
};

class Overview : public CommandTest, public ::testing::WithParamInterface<OverviewCase> {};

TEST_P(Overview, ListsTheCommandsOfTheAskersClass) {
    EXPECT_EQ(help(PlayerRecord("Asker", 33, GetParam().level)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Levels, Overview,
                         ::testing::Values(OverviewCase{0, {playerLine}}, OverviewCase{1, {operatorLine, playerLine}},
                                           OverviewCase{2, {operatorLine, playerLine}},
                                           OverviewCase{5, {operatorLine, playerLine}},
                                           OverviewCase{12, {operatorLine, playerLine}}, OverviewCase{13, {}},
                                           OverviewCase{0x7FFFFFFF, {}}, OverviewCase{0x80000000, {}},
                                           OverviewCase{0xFFFFFFFF, {}}));

struct TopicCase {
    std::string topic;
    Texts forOperators;
    Texts forPlayers;
};

class Topic : public CommandTest, public ::testing::WithParamInterface<TopicCase> {};

TEST_P(Topic, AnswersWithTheEntryOpenToTheAsker) {
    EXPECT_EQ(help(PlayerRecord("Op", 4, 1), GetParam().topic), GetParam().forOperators) << "level 1";
    EXPECT_EQ(help(PlayerRecord("Op", 4, 12), GetParam().topic), GetParam().forOperators) << "level 12";
    EXPECT_EQ(help(PlayerRecord("Pl", 5, 0), GetParam().topic), GetParam().forPlayers) << "level 0";
    EXPECT_EQ(help(PlayerRecord("Xx", 6, 13), GetParam().topic), Texts{}) << "level 13";
    EXPECT_EQ(help(PlayerRecord("Xx", 6, 0xFFFFFFFF), GetParam().topic), Texts{}) << "level -1";
}

INSTANTIATE_TEST_SUITE_P(
    Entries, Topic,
    ::testing::Values(TopicCase{"cgive", cgiveLines, {}}, TopicCase{"ctake", ctakeLines, {}},
                      TopicCase{"cget", cgetLines, {}}, TopicCase{"creset", cresetLines, {}},
                      TopicCase{"creds", credsLines, credsLines}, TopicCase{"buy", buyLines, buyLines},
                      TopicCase{"donate", donateLines, donateLines},
                      // Capitals are folded on the asker's side only.
                      TopicCase{"CREDS", credsLines, credsLines}, TopicCase{"CReds", credsLines, credsLines},
                      TopicCase{"CGet", cgetLines, {}}, TopicCase{"DONATE", donateLines, donateLines},
                      TopicCase{"bUY", buyLines, buyLines}));

class Unanswered : public CommandTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Unanswered, GetsNothingAtAnyLevel) {
    for (uint32_t level : {0u, 1u, 5u, 12u}) {
        EXPECT_EQ(help(PlayerRecord("Asker", 8, level), GetParam()), Texts{}) << "level " << level;
    }
}

INSTANTIATE_TEST_SUITE_P(Topics, Unanswered,
                         ::testing::Values("about", "owner", "mod", "smod", "sop", "all", "help", "!creds", " creds",
                                           "creds ", "cred", "credss", "creds buy", "c", "\xC3\xA7reds"));

TEST_F(CommandTest, HelpNeverTouchesTheLedger) {
    give("Bob", 5);
    help(oper, "creset");
    help(oper);
    EXPECT_EQ(cget("Bob"), "Bob has 5 credits");
}

}  // namespace
}  // namespace kadrel::testing
