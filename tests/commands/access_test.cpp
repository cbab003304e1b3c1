// Who may use which command: levels 1 to 12 every command, level 0 the
// players' ones, and nobody above 12, compared unsigned.
#include "command_fixture.h"
#include "commands/access_level.h"

namespace kadrel::testing {
namespace {

TEST(AccessClass, OfEveryKindOfLevel) {
    EXPECT_EQ(accessClassOf(0), AccessClass::Player);
    for (const uint32_t level : {1u, 2u, 12u}) EXPECT_EQ(accessClassOf(level), AccessClass::Operator) << level;
    // 0x80000000 and 0xFFFFFFFF would read as negative as signed numbers.
    for (const uint32_t level : {13u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(accessClassOf(level)) << level;
    }
}

// Every command with a parameter text that makes it do something; "buy" with
// an empty catalogue answers "There is nothing to buy".
using Uses = std::vector<std::pair<const char*, const char*>>;
const Uses playerCommands = {{"about", ""}, {"creds", ""}, {"donate", "Bob:0"}, {"buy", ""}};
const Uses operatorCommands = {{"cgive", "Bob:5"}, {"ctake", "Bob:5"}, {"cget", "Bob"}, {"creset", ""}};

TEST_F(CommandTest, EachCommandIsOpenToItsClassOnly) {
    const PlayerRecord player("Sender", 21, 0);
    const PlayerRecord highest("Boss", 22, 12);
    give("Bob", 40);
    for (const auto& [word, parameters] : operatorCommands) {
        EXPECT_EQ(command(player, word, parameters), Texts{}) << word;
        EXPECT_EQ(cget("Bob"), "Bob has 40 credits") << word;
    }
    for (const auto& [word, parameters] : playerCommands) EXPECT_FALSE(command(player, word, parameters).empty()) << word;
    for (const auto& [word, parameters] : operatorCommands) EXPECT_FALSE(command(highest, word, parameters).empty()) << word;
    const PlayerRecord unserved("Bob", 23, 0xFFFFFFFF);
    for (const auto& [word, parameters] : playerCommands) EXPECT_EQ(command(unserved, word, parameters), Texts{}) << word;
}

// Command words are matched exactly, in lower case, the whole word.
TEST_F(CommandTest, AnyOtherWordGetsNoReply) {
    for (const char* word : {"CGIVE", "Creds", "creds ", "cred", "credss", "", "help"}) {
        EXPECT_EQ(command(oper, word, "Bob:5"), Texts{}) << word;
    }
    EXPECT_EQ(cget("Bob"), "Bob has 0 credits");
}

}  // namespace
}  // namespace kadrel::testing
