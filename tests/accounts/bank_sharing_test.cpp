// Several bots of one host share the bank file: each save adds the bot's own
// changes to what the file holds now, so no bot's credits are lost.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bank_records.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

using Ledger = std::vector<BankRecord>;

class SharedBank : public ::testing::Test {
protected:
    void SetUp() override {
        // Prize type t pays t credits, so a test picks an amount by type.
        std::string settings = "[Credits]\n";
        for (int t = -28; t <= 28; ++t) settings += "Prize" + std::to_string(t) + "=" + std::to_string(t) + "\n";
        scratch.write("credits.ini", settings);
    }
    Ledger file() const { return parseBank(scratch.readBytes(bankFileName())); }
    void pay(uint32_t handle, const std::string& name, int32_t amount) {
        host.prize(handle, PlayerRecord(name), amount);
    }

    ScratchDir scratch;
    TestHost host;
};

TEST_F(SharedBank, TwoBotsKeepEachOthersChanges) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 10}, {"Amy", 1}}));
    host.init(7);
    host.init(9);
    pay(7, "Bob", 5);
    pay(9, "bob", 3);
    pay(9, "Cid", 2);
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 15}, {"Amy", 1}}));
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 18}, {"Amy", 1}, {"Cid", 2}}));
    host.term(7);  // nothing changed since its save: the other bot's work stays
    EXPECT_EQ(file(), (Ledger{{"Bob", 18}, {"Amy", 1}, {"Cid", 2}}));
    pay(7, "cid", 1);
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 18}, {"Amy", 1}, {"Cid", 3}})) << "the file's name and order win";
}

TEST_F(SharedBank, ChangesGoToTheFirstOfMatchingRecordsOnly) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 5}, {"BOB", 7}}));
    host.init(7);
    host.init(9);
    pay(7, "bob", 3);
    pay(9, "BOB", 1);
    host.term(7);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 9}, {"BOB", 7}}));
}

TEST_F(SharedBank, AccountsOpenedByBothBotsBecomeOne) {
    host.init(7);
    host.init(9);
    pay(7, "Eve", 4);
    pay(9, "EVE", 6);
    pay(9, "Fay", 1);
    host.term(9);
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"EVE", 10}, {"Fay", 1}}));
}

TEST_F(SharedBank, MergedChangesSaturate) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 2147483600}}));
    host.init(7);
    host.init(9);
    pay(7, "Bob", 28);
    pay(9, "Bob", 28);
    host.term(7);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 2147483647}}));
}

TEST_F(SharedBank, AloneABotWritesExactlyItsLedger) {
    // Duplicates, bytes after the terminator and accounts opened between
    // saves: with nobody else writing, the file is the plain ledger.
    const std::string loaded = bankRecord("Bob", 5, '\x55') + bankRecord("BOB", 7, '\x66');
    scratch.write(bankFileName(), loaded);
    host.init(7);
    pay(7, "bob", 3);
    pay(7, "Ann", 0);
    host.term(7);
    pay(7, "Zoe", -2);
    pay(7, "ann", 1);
    host.term(7);
    const std::vector<uint8_t> saved = scratch.readBytes(bankFileName());
    const std::string expected =
        bankRecord("Bob", 8, '\x55') + bankRecord("BOB", 7, '\x66') + bankRecord("Ann", 1) + bankRecord("Zoe", -2);
    EXPECT_EQ(std::string(saved.begin(), saved.end()), expected);
}

TEST_F(SharedBank, AFileDeletedWhileRunningGetsTheWholeLedgerBack) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 5}}));
    host.init(7);
    std::filesystem::remove(scratch.path() / bankFileName());
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 5}}));
}

// After a reset of all credits the bot writes its ledger as it is; the other
// bot then keeps only its own changes to the accounts the reset removed.
TEST(SharedBankReset, AResetReachesTheFileAndOtherBotsKeepOnlyTheirChanges) {
    ScratchDir scratch;
    scratch.write(bankFileName(), bankBytes({{"Bob", 10}, {"Ann", 4}}));
    BotInstance first(1), second(2);
    first.loadBank();
    second.loadBank();
    second.awardCredits(2, "Bob");
    second.awardCredits(6, "Cy");
    first.clearAccounts();
    first.awardCredits(1, "Zed");
    first.saveBank();
    EXPECT_EQ(parseBank(scratch.readBytes(bankFileName())), (Ledger{{"Zed", 1}}));
    second.saveBank();
    EXPECT_EQ(parseBank(scratch.readBytes(bankFileName())), (Ledger{{"Zed", 1}, {"Bob", 2}, {"Cy", 6}}));
    EXPECT_EQ(BotInstance::accountCredits(second.findAccount("Zed")), 1) << "the merged file is the new ledger";
    EXPECT_EQ(second.findAccount("Ann"), nullptr);
    first.awardCredits(1, "Zed");
    first.saveBank();  // merges again after its first save
    EXPECT_EQ(parseBank(scratch.readBytes(bankFileName())), (Ledger{{"Zed", 2}, {"Bob", 2}, {"Cy", 6}}));
}

TEST(SharedBankReset, AResetWithNothingAfterItEmptiesTheFile) {
    ScratchDir scratch;
    scratch.write(bankFileName(), bankBytes({{"Bob", 10}}));
    BotInstance bot(1);
    bot.loadBank();
    bot.clearAccounts();
    bot.saveBank();
    EXPECT_TRUE(scratch.readBytes(bankFileName()).empty());
}

// Random awards, saves and reloads by several bots: the final file holds the
// starting balances plus every change that a bot saved before reloading.
TEST_F(SharedBank, NoSavedChangeIsEverLost) {
    const std::vector<std::string> names = {"Ann", "ANN", "Bob", "Cy", "Dee", "eve", "EVE", "Fox", "Gus", "Hal"};
    auto key = [](std::string name) {
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name;
    };
    std::map<std::string, int64_t> expected = {{"ann", 100}, {"bob", -50}};
    scratch.write(bankFileName(), bankBytes({{"Ann", 100}, {"Bob", -50}}));

    const std::vector<uint32_t> bots = {3, 5, 8, 13};
    std::map<uint32_t, std::map<std::string, int64_t>> pending;
    for (uint32_t bot : bots) host.init(bot);

    std::mt19937 random(20261206);
    for (int step = 0; step < 3000; ++step) {
        const uint32_t bot = bots[random() % bots.size()];
        const unsigned action = random() % 20;
        if (action < 16) {
            const std::string& name = names[random() % names.size()];
            const int32_t amount = static_cast<int32_t>(random() % 57) - 28;
            pay(bot, name, amount);
            pending[bot][key(name)] += amount;
        } else if (action < 19) {
            host.term(bot);
            for (const auto& [name, change] : pending[bot]) expected[name] += change;
            pending[bot].clear();
        } else {
            host.init(bot);  // unsaved changes are thrown away
            pending[bot].clear();
        }
    }
    for (uint32_t bot : bots) {
        host.term(bot);
        for (const auto& [name, change] : pending[bot]) expected[name] += change;
    }

    std::map<std::string, int64_t> saved;
    for (const BankRecord& record : file()) {
        EXPECT_EQ(saved.count(key(record.name)), 0u) << "one record per name: " << record.name;
        saved[key(record.name)] = record.credits;
    }
    EXPECT_EQ(saved, expected);
}

}  // namespace
}  // namespace kadrel::testing
