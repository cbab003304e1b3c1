// The journal among bots of one host: a look-up and a spend see the other
// bots' changes first, and its edge cases (loaded duplicates, resets, a bot
// that stops without saving, checkpoints, cut or damaged records). Random
// runs over many bots and processes are the soak run's and
// bank_processes_test's.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bank_model.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {


class SharedBank : public ::testing::Test {
protected:
    void SetUp() override {
        // Prize type t pays t credits, so a test picks an amount by type.
        std::string settings = "[Credits]\n";
        for (int t = 1; t <= 28; ++t) settings += "Prize" + std::to_string(t) + "=" + std::to_string(t) + "\n";
        scratch.write("credits.ini", settings);
    }
    Ledger file() const { return parseBank(scratch.read(bankFileName())); }
    // The one reply a command gets.
    std::string reply(uint32_t handle, const std::string& name, const std::string& word,
                      const std::string& parameters = "", uint32_t level = 0) {
        return host.reply(handle, PlayerRecord(name, 1, level), word, parameters);
    }
    // Bots 7 and 9 on the given bank.
    void start(const Ledger& bank) {
        scratch.write(bankFileName(), bankBytes(bank));
        host.init(7);
        host.init(9);
    }

    ScratchDir scratch;
    TestHost host;
};

TEST_F(SharedBank, EveryBotSeesAChangeAtOnce) {
    start({{"Bob", 10}, {"BOB", 7}});
    host.prize(7, PlayerRecord("Bob"), 5);
    EXPECT_EQ(reply(9, "bob", "creds"), "You have 15 credits");
    host.prize(9, PlayerRecord("Cid"), 2);
    EXPECT_EQ(reply(7, "Op", "cget", "cid", 2), "cid has 2 credits");
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 15}, {"BOB", 7}, {"Cid", 2}})) << "changes reach the first of matching records";
}

// The second spend of the same credits, on another bot, is refused.
TEST_F(SharedBank, CreditsAreSpentOnceAcrossBots) {
    scratch.write("buy.ini", "[Item0]\nName=Shield\nValue=60\nPrivAction0=Shield for %name%\n");
    start({{"Bob", 100}, {"Eve", 100}});
    EXPECT_EQ(reply(7, "Bob", "donate", "Amy:100"), "100 credits donated to Amy");
    EXPECT_EQ(reply(9, "Bob", "donate", "Cid:100"), "You do not have enough credits");
    EXPECT_EQ(reply(7, "Eve", "buy", "Shield"), "Shield for Eve");
    EXPECT_EQ(reply(9, "Eve", "buy", "Shield"), "You need 20 more credits to buy that item");
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 0}, {"Eve", 40}, {"Amy", 100}}));
}

TEST_F(SharedBank, AFileDeletedWhileRunningGetsTheWholeLedgerBack) {
    start({{"Bob", 5}});
    std::filesystem::remove(scratch.path() / bankFileName());
    host.term(7);
    EXPECT_EQ(file(), (Ledger{{"Bob", 5}}));
}

TEST_F(SharedBank, AResetOnOneBotReachesEveryBot) {
    start({{"Bob", 10}, {"Ann", 4}});
    host.prize(9, PlayerRecord("Bob"), 2);
    EXPECT_EQ(reply(7, "Op", "creset", "", 2), "All credits have been cleared");
    EXPECT_EQ(reply(9, "Bob", "creds"), "You have never had any credits");
    host.prize(9, PlayerRecord("Cy"), 6);
    host.prize(7, PlayerRecord("Zed"), 1);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Cy", 6}, {"Zed", 1}}));
}

// A bot that last looked before two checkpoints of another bot: the later one
// folded a journal as long as the one it saw, but not the same journal.
TEST_F(SharedBank, ABotBehindTwoCheckpointsOfAnotherCatchesUpOnBoth) {
    start({});
    host.prize(7, PlayerRecord("Bob"), 5);
    EXPECT_EQ(reply(9, "Bob", "creds"), "You have 5 credits");
    host.tick(7, saveInterval);
    host.prize(7, PlayerRecord("Amy"), 3);
    host.tick(7, saveInterval);
    EXPECT_EQ(reply(9, "Amy", "creds"), "You have 3 credits");
}

// Only the journal holds what a bot changed since the last save; a checkpoint
// folds it into the bank and starts the journal afresh.
TEST_F(SharedBank, ABotThatStopsWithoutSavingLosesNothingAndNothingIsFoldedTwice) {
    scratch.write(bankFileName(), bankBytes({{"Bob", 10}}));
    {
        BotInstance lost(3);  // no term event, no timed save
        lost.loadBank();
        lost.awardCredits(5, "Bob");
        lost.awardCredits(2, "Ann");
    }
    EXPECT_EQ(file(), (Ledger{{"Bob", 10}})) << "the bank itself is not written between saves";
    const auto grown = std::filesystem::file_size(scratch.path() / "Quorlen.bank.journal");
    host.init(7);
    EXPECT_EQ(reply(7, "Bob", "creds"), "You have 15 credits");
    host.term(7);
    EXPECT_EQ(std::filesystem::file_size(scratch.path() / "Quorlen.bank.journal"), grown - 2 * 32)
        << "a bare header after the checkpoint";
    host.init(9);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 15}, {"Ann", 2}}));
}

TEST_F(SharedBank, ACutLastRecordIsDropped) {
    host.init(7);
    host.prize(7, PlayerRecord("Bob"), 5);
    host.prize(7, PlayerRecord("Bob"), 6);
    host.clearRequests();
    // What a crash in the middle of an append leaves.
    const std::filesystem::path journal = scratch.path() / "Quorlen.bank.journal";
    std::filesystem::resize_file(journal, std::filesystem::file_size(journal) - 5);
    host.init(9);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin connected.", "Loading data...", "Data loaded"}));
    EXPECT_EQ(reply(9, "Bob", "creds"), "You have 5 credits");
    host.prize(9, PlayerRecord("Bob"), 1);
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 6}}));
}

TEST_F(SharedBank, ADamagedRecordBeforeGoodOnesSetsTheJournalAside) {
    host.init(7);
    host.prize(7, PlayerRecord("Bob"), 5);
    host.prize(7, PlayerRecord("Amy"), 6);
    host.prize(7, PlayerRecord("Cid"), 7);
    std::string damaged = scratch.read("Quorlen.bank.journal");
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

}  // namespace
}  // namespace kadrel::testing
