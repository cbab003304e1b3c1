// The one table of commands yields the order in which words are tried and the
// order of the help listing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/command_table.h"

namespace kadrel {
namespace {

using Words = std::vector<std::string>;

TEST(CommandTable, TriesOperatorWordsFirstInTheirOwnOrder) {
    Words words;
    for (const CommandEntry& entry : commandsInDispatchOrder()) words.emplace_back(entry.word);
    EXPECT_EQ(words, (Words{"cgive", "ctake", "creset", "cget", "about", "creds", "donate", "buy"}));
}

TEST(CommandTable, ListsHelpTopicsInTheHelpOrderWithoutAbout) {
    Words words;
    for (const CommandEntry* entry : commandsInHelpOrder()) words.emplace_back(entry->word);
    EXPECT_EQ(words, (Words{"cgive", "ctake", "cget", "creset", "creds", "buy", "donate"}));
}

TEST(CommandTable, BuyGoesToThePurchase) {
    for (const CommandEntry& entry : commandsInDispatchOrder()) {
        if (std::string(entry.word) == "buy") {
            EXPECT_EQ(entry.handler, &BotInstance::buyItem);
            EXPECT_EQ(entry.access, AccessClass::Player);
            return;
        }
    }
    ADD_FAILURE() << "no buy entry";
}

}  // namespace
}  // namespace kadrel
