// The ledger: saturating awards, the matching of names, and the index that
// must find exactly what a walk from the head would find.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <utility>
#include <string>
#include <vector>

#include "core/text.h"
#include "host/bot_instance.h"

namespace kadrel {
namespace {

// Saturation is core arithmetic's rule (arithmetic_test); the ledger passes it on.
TEST(Ledger, BalancesStopAtThe32BitLimits) {
    BotInstance bot(1);
    bot.awardCredits(INT_MAX, "Bob");
    bot.awardCredits(1, "bob");
    bot.awardCredits(INT_MIN, "Amy");
    bot.awardCredits(-1, "AMY");
    EXPECT_EQ(BotInstance::accountCredits(bot.findAccount("BOB")), INT_MAX);
    EXPECT_EQ(BotInstance::accountCredits(bot.findAccount("amy")), INT_MIN);
    EXPECT_EQ(bot.accounts.size(), 2u);
}

struct MatchCase {
    std::string first;
    std::string second;
    bool same;
};

class NameMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(NameMatching, FoldsOnlyTheAsciiCapitals) {
    BotInstance bot(1);
    bot.awardCredits(5, GetParam().first.c_str());
    bot.awardCredits(3, GetParam().second.c_str());
    EXPECT_EQ(bot.accounts.size(), GetParam().same ? 1u : 2u);
    EXPECT_EQ(BotInstance::accountCredits(bot.findAccount(GetParam().first.c_str())), GetParam().same ? 8 : 5);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameMatching,
    ::testing::Values(MatchCase{"Bob", "bOB", true}, MatchCase{"Bob", "Bobby", false},
                      MatchCase{"Bob", "Bob ", false}, MatchCase{"AZaz", "azAZ", true},
                      MatchCase{"@", "`", false}, MatchCase{"[", "{", false}, MatchCase{"Z", "z", true},
                      MatchCase{"\xC9t\xC9", "\xE9t\xE9", false}, MatchCase{"\xC1", "\xE1", false},
                      MatchCase{"\x7F", "\x5F", false}, MatchCase{"ABCDEFGHIJKLMNOPQRS", "abcdefghijklmnopqrs", true},
                      MatchCase{"ABCDEFGHIJKLMNOPQRS", "abcdefghijklmnopqr", false},
                      MatchCase{"ABCDEFGHIJKLMNOPQRST", "abcdefghijklmnopqrsXYZ", true},
                      MatchCase{"abcdefgh", "abcdefghi", false}, MatchCase{"abcdefghijklmnop", "abcdefghijklmnopq", false}));

TEST(Ledger, LongNamesAreCutTo19BeforeEveryLookUp) {
    BotInstance bot(1);
    const std::string longName(30, 'L');
    bot.awardCredits(4, longName.c_str());
    ASSERT_EQ(bot.accounts.size(), 1u);
    EXPECT_STREQ(bot.accounts.at(0).name, std::string(19, 'L').c_str());
    EXPECT_EQ(BotInstance::accountCredits(bot.findAccount(longName.c_str())), 4);
    EXPECT_EQ(BotInstance::accountCredits(bot.findAccount(std::string(19, 'l').c_str())), 4);
    EXPECT_EQ(bot.findAccount(std::string(18, 'L').c_str()), nullptr);
}

TEST(Ledger, AwardingZeroOpensAnAccountAndClearingForgetsAll) {
    BotInstance bot(1);
    EXPECT_EQ(bot.findAccount("Ann"), nullptr);
    EXPECT_EQ(BotInstance::accountCredits(nullptr), 0);
    bot.awardCredits(0, "Ann");
    ASSERT_NE(bot.findAccount("Ann"), nullptr);
    EXPECT_EQ(bot.findAccount("Ann")->credits, 0);
    bot.clearAccounts();
    EXPECT_EQ(bot.findAccount("Ann"), nullptr);
    EXPECT_EQ(bot.accounts.size(), 0u);
    bot.awardCredits(2, "Ann");
    EXPECT_EQ(BotInstance::accountCredits(bot.findAccount("ann")), 2);
}

// A walk from the head: what every look-up must agree with, loaded duplicates
// included (the first answers).
const CreditAccount* walk(const Ledger& ledger, const char* name) {
    std::string cut(name, std::min<size_t>(std::strlen(name), 19));
    for (const CreditAccount& account : ledger) {
        if (equalsNoCase(account.name, cut.c_str())) return &account;
    }
    return nullptr;
}

TEST(Ledger, IndexAgreesWithAWalkFromTheHead) {
    std::mt19937 random(1234);
    const std::string alphabet = "aAbBcC_[{@`\xC1\xE1";
    auto randomName = [&] {
        std::string name(1 + random() % 21, ' ');
        for (char& byte : name) byte = alphabet[random() % alphabet.size()];
        return name;
    };
    Ledger ledger;
    std::vector<std::string> names;
    std::vector<std::pair<uint32_t, const CreditAccount*>> addresses;
    for (int i = 0; i < 6000; ++i) {
        names.push_back(randomName());
        if (i % 3 == 0) {
            CreditAccount loaded{};
            std::strncpy(loaded.name, names.back().c_str(), 19);
            loaded.credits = i;
            ledger.appendLoaded(loaded);  // duplicates allowed, as from a bank file
        } else {
            ledger.award(1, names.back().c_str());
        }
        if (i % 500 == 0) addresses.emplace_back(ledger.size() - 1, &ledger.at(ledger.size() - 1));
    }
    for (int i = 0; i < 2000; ++i) names.push_back(randomName());
    for (const std::string& name : names) ASSERT_EQ(ledger.find(name.c_str()), walk(ledger, name.c_str())) << name;
    for (const auto& [index, address] : addresses) EXPECT_EQ(address, &ledger.at(index)) << "accounts never move";
}

TEST(Ledger, ABankLoadedAtOnceAgreesWithAWalkFromTheHead) {
    std::mt19937 random(99);
    const std::string alphabet = "aAbB_\xC1";
    for (uint32_t size : {1u, 31u, 32u, 33u, 5000u, 12000u}) {
        std::vector<CreditAccount> records(size);
        std::vector<std::string> names;
        for (CreditAccount& record : records) {
            std::string name(1 + random() % 5, ' ');
            for (char& byte : name) byte = alphabet[random() % alphabet.size()];
            std::memset(&record, 0x5A, sizeof record);  // bytes after the terminator are noise
            std::memcpy(record.name, name.c_str(), name.size() + 1);
            names.push_back(name);
        }
        Ledger ledger;
        ledger.appendLoaded(records.data(), records.size());
        ASSERT_EQ(ledger.size(), size);
        names.push_back("absent");
        for (const std::string& name : names) {
            ASSERT_EQ(ledger.find(name.c_str()), walk(ledger, name.c_str())) << size << " " << name;
        }
        ledger.award(1, "brand new");
        EXPECT_EQ(ledger.find("BRAND NEW"), &ledger.at(size));
    }
}

// Names whose hashes all fall on the last places of a small index, and some on
// the first: their probe runs wrap around the table's end.
TEST(Ledger, ABankLoadedAtOnceWrapsRoundTheIndex) {
    std::vector<std::string> lastPlace, firstPlace;
    for (uint32_t i = 0; lastPlace.size() < 6 || firstPlace.size() < 3; ++i) {
        const std::string name = "W" + std::to_string(i);
        const uint32_t home = static_cast<uint32_t>(nameKeyOfText(name.c_str()).hash() >> 32) % 64;
        if (home == 63 && lastPlace.size() < 6) lastPlace.push_back(name);
        if (home == 0 && firstPlace.size() < 3) firstPlace.push_back(name);
    }
    std::vector<std::string> names = firstPlace;
    names.insert(names.end(), lastPlace.begin(), lastPlace.end());
    names.push_back(lastPlace[2]);  // a duplicate that must stay unfound
    std::vector<CreditAccount> records(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        records[i] = CreditAccount{};
        std::memcpy(records[i].name, names[i].c_str(), names[i].size());
        records[i].credits = static_cast<int32_t>(i);
    }
    Ledger ledger;
    ledger.appendLoaded(records.data(), records.size());
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        ASSERT_EQ(ledger.find(names[i].c_str()), &ledger.at(static_cast<uint32_t>(i))) << names[i];
    }
    ledger.award(1, "fresh");
    EXPECT_EQ(ledger.find("fresh"), &ledger.at(static_cast<uint32_t>(names.size())));
}

}  // namespace
}  // namespace kadrel
