// The bank file through talk: loaded at init, written at term, byte for byte,
// a damaged file set aside instead of overwritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "bank_model.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {


class BankFile : public ::testing::Test {
protected:
    void SetUp() override { scratch.write("credits.ini", "[Credits]\nAnyPrize=2\n"); }
    std::string savedBytes() {
        host.term(1);
        return scratch.read(bankFileName());
    }
    Ledger savedLedger() { return parseBank(savedBytes()); }

    ScratchDir scratch;
    TestHost host;
};

TEST_F(BankFile, ASaveKeepsEveryLoadedByteAndAppendsNewAccounts) {
    // Bytes after the terminator, matching names and extreme balances all
    // come back as they were, a terminator at 16 with no zero byte after it too;
    // a name without terminator is cut to 19.
    const std::string kept = bankRecord("Bob", 1000, '\x7E') + bankRecord("BOB", -5, '\xFF') +
                             bankRecord("", 0, 'z') + bankRecord(std::string(19, 'N'), INT32_MIN) +
                             bankRecord("\xE9t\xE9", INT32_MAX, '\x01') +
                             bankRecord(std::string(16, 'S'), 0x01010101, '\x7E');
    const std::string unterminated = std::string(20, 'X') + std::string("\x07\x00\x00\x00", 4);
    scratch.write(bankFileName(), kept + unterminated + bankRecord("Amy", 4));
    host.init(1);
    host.prize(1, PlayerRecord(std::string(19, 'x')), 1);
    host.prize(1, PlayerRecord("Bea"), 1);
    host.prize(1, PlayerRecord("amy"), 1);
    const std::string expected =
        kept + bankRecord(std::string(19, 'X'), 9) + bankRecord("Amy", 6) + bankRecord("Bea", 2);
    EXPECT_EQ(savedBytes(), expected);
    EXPECT_EQ(savedBytes(), expected) << "a second save writes the same";
}

TEST_F(BankFile, ADamagedFileIsSetAsideAndReported) {
    const std::string damaged = bankBytes({{"Amy", 4}, {"Bob", 5}}) + "xy";
    scratch.write(bankFileName(), damaged);
    host.init(1);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin connected.", "Loading data...",
                                   "Quorlen.bank is damaged; it was moved to Quorlen.bank.damaged and its journal copied to "
                                   "Quorlen.bank.damaged.journal",
                                   "Data loaded"}));
    host.prize(1, PlayerRecord("Cid"), 1);
    EXPECT_EQ(savedLedger(), (Ledger{{"Cid", 2}}));
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged"), damaged) << "never overwritten";

    // A second damaged file takes the next free name.
    scratch.write(bankFileName(), "1234567");
    scratch.write("Quorlen.bank.damaged.1", "taken");
    host.clearRequests();
    host.init(1);
    EXPECT_EQ(host.texts()[2], "Quorlen.bank is damaged; it was moved to Quorlen.bank.damaged.2 and its journal copied to "
                              "Quorlen.bank.damaged.2.journal");
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged.2"), "1234567");
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged.1"), "taken");
    EXPECT_FALSE(scratch.exists(bankFileName()));

    // With every name taken, the file stays where it is, untouched, even
    // under a fresh journal, which names the empty bank.
    for (int i = 3; i < 1000; ++i) scratch.write("Quorlen.bank.damaged." + std::to_string(i), "");
    std::filesystem::remove(scratch.path() / "Quorlen.bank.journal");
    scratch.write(bankFileName(), "1234567");
    host.clearRequests();
    host.init(1);
    const Texts loaded = host.texts();
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(),
                         "Quorlen.bank is damaged and could not be moved aside; it is not saved over"),
              1);
    host.prize(1, PlayerRecord("Cid"), 1);
    host.term(1);
    EXPECT_EQ(scratch.read(bankFileName()), "1234567");
}

TEST_F(BankFile, AFileDamagedWhileRunningIsSetAsideBeforeTheSave) {
    scratch.write(bankFileName(), bankBytes({{"Amy", 4}}));
    host.init(1);
    scratch.write(bankFileName(), "broken");
    host.clearRequests();
    EXPECT_EQ(savedLedger(), (Ledger{{"Amy", 4}})) << "the bot's own ledger is written";
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin disconnected.",
                                   "Quorlen.bank is damaged; it was moved to Quorlen.bank.damaged and its journal "
                                   "copied to Quorlen.bank.damaged.journal"}));
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged"), "broken");
}

#if !defined(_WIN32)
TEST_F(BankFile, AFileThatCannotBeOpenedIsNeitherReadAsEmptyNorSavedOver) {
    // A link to itself exists but never opens, as a file the host may not
    // read would not.
    std::filesystem::create_symlink(bankFileName(), scratch.path() / bankFileName());
    host.init(1);
    EXPECT_EQ(host.texts()[2], "Quorlen.bank cannot be read; it is not saved over until it can");
    host.prize(1, PlayerRecord("Bob"), 3);
    host.clearRequests();
    host.term(1);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin disconnected.",
                                   "Quorlen.bank could not be saved; the changes stay in Quorlen.bank.journal"}));
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / bankFileName())) << "saved over";

    std::filesystem::remove(scratch.path() / bankFileName());
    scratch.write(bankFileName(), bankBytes({{"Amy", 9}, {"Bob", 1}}));
    EXPECT_EQ(savedLedger(), (Ledger{{"Amy", 9}, {"Bob", 3}})) << "merged once the file opens";
}

TEST_F(BankFile, AFailedSaveIsReportedOncePerStreakOfFailures) {
    host.init(1);
    host.prize(1, PlayerRecord("Bob"), 3);
    const auto timedSaveTexts = [&] {
        host.clearRequests();
        host.tick(1, saveInterval);
        return host.texts();
    };
    const Texts failed{"Quorlen.bank cannot be read; it is not saved over until it can",
                       "Quorlen.bank could not be saved; the changes stay in Quorlen.bank.journal"};
    const auto breakTheBank = [&] {
        std::filesystem::remove(scratch.path() / bankFileName());
        std::filesystem::create_symlink(bankFileName(), scratch.path() / bankFileName());
    };
    breakTheBank();
    EXPECT_EQ(timedSaveTexts(), failed);
    EXPECT_EQ(timedSaveTexts(), Texts{}) << "the same streak";
    std::filesystem::remove(scratch.path() / bankFileName());
    EXPECT_EQ(timedSaveTexts(), Texts{});
    breakTheBank();
    EXPECT_EQ(timedSaveTexts(), failed) << "a save that worked ends the streak";
}
#endif

// Read with the bank: true from its first two characters.
TEST(CanGoNegative, IsReadWithTheBankFromTwoCharacters) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true},   {"yes", true},  {"Y", true},    {"true", true}, {"TRUE", true},  {"on", true},
        {"ON", true},  {"oN", true},   {"10", true},   {"off", false}, {"o", false},    {"no", false},
        {"0", false},  {"xn", false},  {"false", false}, {"", false},  {"xon", false}, {nullptr, false}};
    for (const auto& [value, expected] : cases) {
        ScratchDir scratch;
        if (value != nullptr) scratch.write("credits.ini", std::string("[Credits]\nCanGoNegative=") + value + "\n");
        BotInstance bot(1);
        bot.canGoNegative = !expected;
        bot.loadBank();
        EXPECT_EQ(bot.canGoNegative, expected) << (value != nullptr ? value : "no credits.ini");
    }
}

}  // namespace
}  // namespace kadrel::testing
