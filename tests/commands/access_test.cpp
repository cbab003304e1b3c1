// Who may use which command, and how exactly a command word must arrive.
#include "command_fixture.h"

namespace kadrel::testing {
namespace {

// Every command with a parameter text that makes it do something.
struct Use {
    std::string word;
    std::string parameters;
};

// "buy" with an empty catalogue answers "There is nothing to buy".
const std::vector<Use> playerCommands = {{"about", ""}, {"creds", ""}, {"donate", "Bob:0"}, {"buy", ""}};
const std::vector<Use> operatorCommands = {{"cgive", "Bob:5"}, {"ctake", "Bob:5"}, {"cget", "Bob"}, {"creset", ""}};

class Level : public CommandTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(Level, AnOperatorLevelReachesEveryCommand) {
    const PlayerRecord sender("Sender", 21, GetParam());
    for (const Use& use : playerCommands) EXPECT_FALSE(command(sender, use.word, use.parameters).empty()) << use.word;
    for (const Use& use : operatorCommands) EXPECT_FALSE(command(sender, use.word, use.parameters).empty()) << use.word;
}

INSTANTIATE_TEST_SUITE_P(Operators, Level, ::testing::Values(1u, 2u, 3u, 4u, 5u, 12u));

TEST_F(CommandTest, AnOrdinaryPlayerReachesOnlyThePlayerCommands) {
    const PlayerRecord player("Sender", 21, 0);
    for (const Use& use : playerCommands) EXPECT_FALSE(command(player, use.word, use.parameters).empty()) << use.word;
    give("Bob", 40);
    for (const Use& use : operatorCommands) EXPECT_EQ(command(player, use.word, use.parameters), Texts{}) << use.word;
    EXPECT_EQ(cget("Bob"), "Bob has 40 credits") << "nothing changed";
}

class Unserved : public CommandTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(Unserved, ALevelAbove12IsIgnoredEntirely) {
    const PlayerRecord sender("Bob", 21, GetParam());
    give("Bob", 40);
    for (const Use& use : playerCommands) EXPECT_EQ(command(sender, use.word, use.parameters), Texts{}) << use.word;
    for (const Use& use : operatorCommands) EXPECT_EQ(command(sender, use.word, use.parameters), Texts{}) << use.word;
    EXPECT_EQ(cget("Bob"), "Bob has 40 credits") << "nothing changed";
}

// 0xFFFFFFFF and 0x80000000 would read as negative as signed numbers.
INSTANTIATE_TEST_SUITE_P(Levels, Unserved, ::testing::Values(13u, 14u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu));

class UnknownWord : public CommandTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnknownWord, GetsNoReplyAndChangesNothing) {
    give("Bob", 40);
    for (uint32_t level : {0u, 1u, 12u}) {
        const PlayerRecord sender("Bob", 21, level);
        EXPECT_EQ(command(sender, GetParam(), "Bob:5"), Texts{}) << "level " << level;
        EXPECT_EQ(command(sender, GetParam()), Texts{}) << "level " << level;
    }
    EXPECT_EQ(cget("Bob"), "Bob has 40 credits");
}

// Command words are matched exactly, in lower case, the whole word.
INSTANTIATE_TEST_SUITE_P(Words, UnknownWord,
                         ::testing::Values("CGIVE", "Creds", "CREDS", "About", "Buy", "BUY", "cGet", "Creset", "!creds", "creds ",
                                           " creds", "cred", "credss", "c", "", "help", "owner", "give", "credits"));

TEST_F(CommandTest, BuyIsHandedToThePurchase) {
    EXPECT_EQ(command(PlayerRecord("Buyer", 21, 0), "buy"), Texts{"There is nothing to buy"});
    EXPECT_EQ(command(PlayerRecord("Buyer", 21, 12), "buy", "rocket"), Texts{"Unknown item"});
}

}  // namespace
}  // namespace kadrel::testing
