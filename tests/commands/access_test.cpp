// Who may use which command and help topic: levels 1 to 12 every one, level 0
// the players' ones, and nobody above 12, compared unsigned. The overviews
// per level are told by the commands transcript.
#include <cctype>

#include "bot_session.h"
#include "commands/access_level.h"

namespace kadrel::testing {
namespace {

TEST(AccessClass, OfEveryKindOfLevel) {
    EXPECT_EQ(accessClassOf(0), AccessClass::Player);
    for (const uint32_t level : {1u, 12u}) EXPECT_EQ(accessClassOf(level), AccessClass::Operator) << level;
    // 0x80000000 and 0xFFFFFFFF would read as negative as signed numbers.
    for (const uint32_t level : {13u, 0x80000000u, 0xFFFFFFFFu}) EXPECT_FALSE(accessClassOf(level)) << level;
}

// Every command with parameters that make it answer; the empty shop answers
// "There is nothing to buy".
using Uses = std::vector<std::pair<const char*, const char*>>;
const Uses operatorUses = {{"cgive", "Bob:5"}, {"ctake", "Bob:5"}, {"cget", "Bob"}, {"creset", ""}};
const Uses playerUses = {{"about", ""}, {"creds", ""}, {"donate", "Bob:0"}, {"buy", ""}};

TEST_F(Commands, EachCommandIsOpenToItsClassOnly) {
    const PlayerRecord player("Sender", 21, 0), highest("Boss", 22, 12), unserved("Bob", 23, 0xFFFFFFFF);
    give("Bob", 40);
    for (const auto& [word, parameters] : operatorUses) EXPECT_EQ(command(player, word, parameters), Texts{}) << word;
    EXPECT_EQ(command(highest, "cget", "Bob"), Texts{"Bob has 40 credits"});
    for (const auto& [word, parameters] : operatorUses) EXPECT_FALSE(command(highest, word, parameters).empty()) << word;
    for (const auto& [word, parameters] : playerUses) {
        EXPECT_FALSE(command(player, word, parameters).empty()) << word;
        EXPECT_EQ(command(unserved, word, parameters), Texts{}) << word;
    }
    // Words are matched exactly, in lower case, the whole word.
    for (const char* word : {"CGIVE", "creds ", "cred", "credss", "help"}) {
        EXPECT_EQ(command(oper, word, "Bob:5"), Texts{}) << word;
    }
}

TEST_F(Commands, AboutTellsTheVersionToAnyone) {
    const Texts lines = command(PlayerRecord("Asker", 12), "about", "Bob:5");
    ASSERT_EQ(lines.size(), 3u);
    const std::string prefix = "\"Kadrel\" 1.14 compiled on ";
    ASSERT_EQ(lines[0].substr(0, prefix.size()), prefix);
    // The stamp's shape, digits as 9 and letters as a; the build_stamp test
    // holds a reproducible build's stamp to its exact form.
    std::string shape = lines[0].substr(prefix.size());
    for (char& c : shape) c = std::isdigit(static_cast<unsigned char>(c)) ? '9' : std::isalpha(static_cast<unsigned char>(c)) ? 'a' : c;
    EXPECT_TRUE(shape == "aaa 99 9999 99:99:99" || shape == "aaa  9 9999 99:99:99") << lines[0];
    EXPECT_EQ(lines[1], "DLL core version: 6.0");
    EXPECT_EQ(lines[2], "Written by the Kadrel developers");
    EXPECT_EQ(command(oper, "about"), lines);
}

// Capitals are folded on the asker's side only; anything but a whole command
// word with a help entry gets nothing.
TEST_F(Commands, HelpAnswersATopicOpenToTheAsker) {
    EXPECT_EQ(help(oper, "CGet"), (Texts{"!cget", "Syntax: !cget <player name>", "Shows how many credits a player has"}));
    EXPECT_EQ(help(oper, "buy").size(), 4u);
    for (const char* topic : {"about", "help", "!creds", " creds", "cred", "credss", "\xC3\xA7reds"}) {
        EXPECT_EQ(help(oper, topic), Texts{}) << topic;
    }
}

}  // namespace
}  // namespace kadrel::testing
