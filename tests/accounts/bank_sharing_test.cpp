// Several bots of one host share one bank through its journal: every change
// is seen by every bot at once, spending checks and takes in one step, a
// reset reaches everybody, and a bot that stops without saving loses nothing.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bank_model.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

using Ledger = std::vector<BankRecord>;
using Texts = std::vector<std::string>;

class SharedBank : public ::testing::Test {
protected:
    void SetUp() override {
        // Prize type t pays t credits, so a test picks an amount by type.
        std::string settings = "[Credits]\n";
        for (int t = -28; t <= 28; ++t) settings += "Prize" + std::to_string(t) + "=" + std::to_string(t) + "\n";
        scratch.write("credits.ini", settings);
        scratch.write("buy.ini", "[Item0]\nName=Shield\nValue=60\nPrivAction0=Shield for %name%\n");
    }
    Ledger file() const { return parseBank(scratch.readBytes(bankFileName())); }
    void pay(uint32_t handle, const std::string& name, int32_t amount) {
        host.prize(handle, PlayerRecord(name), amount);
    }
    // The one reply a command gets.
    std::string reply(uint32_t handle, const std::string& name, const std::string& word,
                      const std::string& parameters = "", uint32_t level = 0) {
        host.clearRequests();
        host.command(handle, PlayerRecord(name, 1, level), word, parameters);
        return host.requests.empty() ? "" : host.requests.back().text;
    }

    ScratchDir scratch;
    TestHost host;
};

TEST_F(SharedBank, EveryBotSeesAChangeAtOnce) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 10}, {"Amy", 1}}));
    host.init(7);
    host.init(9);
    pay(7, "Bob", 5);
    EXPECT_EQ(reply(9, "bob", "creds"), "You have 15 credits");
    pay(9, "Cid", 2);
    EXPECT_EQ(reply(7, "Op", "cget", "cid", 2), "cid has 2 credits");
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 15}, {"Amy", 1}, {"Cid", 2}}));
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 15}, {"Amy", 1}, {"Cid", 2}})) << "every change once";
}

TEST_F(SharedBank, TheSameCreditsCannotBeDonatedTwiceOnTwoBots) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 100}}));
    host.init(7);
    host.init(9);
    EXPECT_EQ(reply(7, "Bob", "donate", "Amy:100"), "100 credits donated to Amy");
    EXPECT_EQ(reply(9, "Bob", "donate", "Cid:100"), "You do not have enough credits");
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 0}, {"Amy", 100}}));
}

TEST_F(SharedBank, TheSameCreditsCannotBuyTwiceOnTwoBots) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 100}}));
    host.init(7);
    host.init(9);
    EXPECT_EQ(reply(7, "Bob", "buy", "Shield"), "Shield for Bob");
    EXPECT_EQ(reply(9, "Bob", "buy", "Shield"), "You need 20 more credits to buy that item");
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 40}}));
}

TEST_F(SharedBank, ChangesGoToTheFirstOfMatchingRecordsOnly) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 5}, {"BOB", 7}}));
    host.init(7);
    host.init(9);
    pay(7, "bob", 3);
    pay(9, "BOB", 1);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 9}, {"BOB", 7}}));
}

TEST_F(SharedBank, AccountsOpenedOnTwoBotsAreOneInTheOrderOpened) {
    host.init(7);
    host.init(9);
    pay(7, "Eve", 4);
    pay(9, "EVE", 6);
    pay(9, "Fay", 1);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Eve", 10}, {"Fay", 1}}));
}

TEST_F(SharedBank, ChangesFromTwoBotsSaturate) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 2147483600}}));
    host.init(7);
    host.init(9);
    pay(7, "Bob", 28);
    pay(9, "Bob", 28);
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 2147483647}}));
}

TEST_F(SharedBank, AloneABotWritesExactlyItsLedger) {
    // Duplicates, bytes after the terminator and accounts opened between
    // saves: the file is the plain ledger.
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

TEST_F(SharedBank, AResetOnOneBotReachesEveryBot) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 10}, {"Ann", 4}}));
    host.init(7);
    host.init(9);
    pay(9, "Bob", 2);
    EXPECT_EQ(reply(7, "Op", "creset", "", 2), "All credits have been cleared");
    EXPECT_EQ(reply(9, "Bob", "creds"), "You have never had any credits");
    pay(9, "Cy", 6);
    pay(7, "Zed", 1);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Cy", 6}, {"Zed", 1}}));
}

TEST_F(SharedBank, ABotThatStopsWithoutSavingLosesNothing) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 10}}));
    {
        // No term event, no timed save: only the journal holds the change.
        BotInstance lost(3);
        lost.loadBank();
        lost.awardCredits(5, "Bob");
        lost.awardCredits(2, "Ann");
    }
    EXPECT_EQ(file(), (Ledger{{"Bob", 10}})) << "the bank itself is not written between saves";
    host.init(7);
    EXPECT_EQ(reply(7, "Bob", "creds"), "You have 15 credits");
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 15}, {"Ann", 2}}));
}

TEST_F(SharedBank, ACheckpointStartsTheJournalAfresh) {
    host.init(7);
    pay(7, "Bob", 5);
    const auto grown = std::filesystem::file_size(scratch.path() / "Quorlen.bank.journal");
    host.term(7);
    const auto afresh = std::filesystem::file_size(scratch.path() / "Quorlen.bank.journal");
    EXPECT_LT(afresh, grown);
    EXPECT_EQ(afresh % 32, 0u) << "a header of whole records' size and no records";
    host.init(9);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 5}})) << "nothing folded twice";
}

TEST_F(SharedBank, ACutLastRecordIsDropped) {
    host.init(7);
    pay(7, "Bob", 5);
    pay(7, "Bob", 6);
    host.clearRequests();
    // What a crash in the middle of an append leaves.
    const std::filesystem::path journal = scratch.path() / "Quorlen.bank.journal";
    std::filesystem::resize_file(journal, std::filesystem::file_size(journal) - 5);
    host.init(9);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin connected.", "Loading data...", "Data loaded"}));
    EXPECT_EQ(reply(9, "Bob", "creds"), "You have 5 credits");
    pay(9, "Bob", 1);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 6}}));
}

TEST_F(SharedBank, ADamagedRecordBeforeGoodOnesSetsTheJournalAside) {
    host.init(7);
    pay(7, "Bob", 5);
    pay(7, "Amy", 6);
    pay(7, "Cid", 7);
    const std::string journal = scratch.read("Quorlen.bank.journal");
    std::string damaged = journal;
    damaged[damaged.size() - 2 * 32 + 10] ^= 0x40;  // inside Amy's record
    scratch.write("Quorlen.bank.journal", damaged);
    host.clearRequests();
    host.init(9);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin connected.", "Loading data...",
                                   "Quorlen.bank.journal is damaged; it was copied to Quorlen.bank.journal.damaged",
                                   "Data loaded"}));
    EXPECT_EQ(scratch.read("Quorlen.bank.journal.damaged"), damaged) << "never destroyed";
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 5}})) << "the records before the damage count";
}

// Random awards, commands, saves and reloads by several bots: the bank holds
// the starting balances plus every change, whatever the order of saves.
TEST_F(SharedBank, NoChangeIsEverLost) {
    const std::vector<std::string> names = {"Ann", "ANN", "Bob", "Cy", "Dee", "eve", "EVE", "Fox", "Gus", "Hal"};
    auto key = [](std::string name) {
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name;
    };
    std::map<std::string, int64_t> expected = {{"ann", 100}, {"bob", -50}};
    scratch.write(bankFileName(), bankBytes({{"Ann", 100}, {"Bob", -50}}));

    const std::vector<uint32_t> bots = {3, 5, 8, 13};
    for (uint32_t bot : bots) host.init(bot);

    std::mt19937 random(20261206);
    for (int step = 0; step < 3000; ++step) {
        const uint32_t bot = bots[random() % bots.size()];
        const unsigned action = random() % 20;
        if (action < 14) {
            const std::string& name = names[random() % names.size()];
            const int32_t amount = static_cast<int32_t>(random() % 57) - 28;
            pay(bot, name, amount);
            expected[key(name)] += amount;
        } else if (action < 17) {
            const std::string& from = names[random() % names.size()];
            const std::string& to = names[random() % names.size()];
            const int32_t amount = static_cast<int32_t>(random() % 40);
            const int64_t before = expected[key(from)];
            const std::string answer = reply(bot, from, "donate", to + ":" + std::to_string(amount));
            if (before >= amount) {
                ASSERT_EQ(answer, std::to_string(amount) + " credits donated to " + to);
                expected[key(from)] -= amount;
                expected[key(to)] += amount;
            } else {
                ASSERT_EQ(answer, "You do not have enough credits");
            }
        } else if (action < 19) {
            host.term(bot);
        } else {
            host.init(bot);
        }
    }
    host.term(bots[0]);

    std::map<std::string, int64_t> saved;
    for (const BankRecord& record : file()) {
        EXPECT_EQ(saved.count(key(record.name)), 0u) << "one record per name: " << record.name;
        saved[key(record.name)] = record.credits;
    }
    for (auto it = expected.begin(); it != expected.end();) {
        it = it->second == 0 && saved.count(it->first) == 0 ? expected.erase(it) : std::next(it);
    }
    EXPECT_EQ(saved, expected);
}

}  // namespace
}  // namespace kadrel::testing
