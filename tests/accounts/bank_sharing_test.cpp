// The journal among bots of one host: a look-up and a spend see the other
// bots' changes first, and its edge cases (loaded duplicates, resets, a bot
// that stops without saving, checkpoints, cut or damaged records). Random
// runs over many bots and processes are the soak run's and
// bank_processes_test's.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bank_model.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

// A record of the journal's earlier layout, as an earlier build wrote it.
std::string oldRecord(uint8_t kind, const std::string& name, int32_t amount) {
    std::string record = std::string(1, static_cast<char>(kind)) + std::string(3, '\0') + bankRecord(name, amount);
    uint32_t hash = 2166136261u;
    for (char byte : record) hash = (hash ^ static_cast<uint8_t>(byte)) * 16777619u;
    return record + std::string(reinterpret_cast<const char*>(&hash), 4);
}

// The records of a journal, or of a history with its shorter header, one
// line each: kind, cause, name, amount, the balance before and after, the
// other party, the detail, and a bar after the last record of a transaction.
// They must be sound and numbered from 1.
Texts journalLines(const std::string& bytes, size_t header = currentLayout.headerSize) {
    Texts lines;
    uint64_t sequence = 1;
    for (size_t at = header; at + sizeof(JournalRecord) <= bytes.size(); at += sizeof(JournalRecord)) {
        JournalRecord r;
        std::memcpy(&r, bytes.data() + at, sizeof r);
        EXPECT_TRUE(isSoundRecord(r) && r.sequence == sequence++ && r.time > 1700000000) << at;
        lines.push_back(std::to_string(r.kind) + " " + std::to_string(r.cause) + " " + r.name + " " +
                        std::to_string(r.amount) + " " + std::to_string(r.before) + ">" + std::to_string(r.after) +
                        " [" + r.party + "] " + std::to_string(r.detail) + (r.flags == endsTransaction ? " |" : ""));
    }
    return lines;
}

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
        lost.awardCredits(5, "Bob", {});
        lost.awardCredits(2, "Ann", {});
    }
    EXPECT_EQ(file(), (Ledger{{"Bob", 10}})) << "the bank itself is not written between saves";
    const auto grown = std::filesystem::file_size(scratch.path() / "Quorlen.bank.journal");
    host.init(7);
    EXPECT_EQ(reply(7, "Bob", "creds"), "You have 15 credits");
    host.term(7);
    EXPECT_EQ(std::filesystem::file_size(scratch.path() / "Quorlen.bank.journal"), grown - 2 * sizeof(JournalRecord))
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

// Every change goes to the journal with its cause, the other party and the
// balances around it; the changes of one event are one transaction.
TEST_F(SharedBank, EveryChangeIsJournaledWithItsCause) {
    scratch.write("credits.ini", "[Credits]\nKill=10\nKilled=1\nPrize3=3\nFlagVictoryTeam=20\n");
    scratch.write("buy.ini", "[Item3]\nName=Shield\nValue=5\n");
    start({{"Alice", 100}});
    const PlayerRecord alice("Alice", 1, 0, 0), bob("Bob", 2, 0, 1);
    host.death(7, bob, alice);
    host.prize(9, bob, 3);
    host.players.add(alice.record());
    host.players.add(bob.record());
    host.flagVictory(7, 1);
    reply(9, "Alice", "donate", "Bob:40");
    reply(7, "Bob", "buy", "Shield");
    reply(7, "Op", "cgive", "Carl:7", 1);
    reply(9, "Op", "ctake", "Carl:2", 1);
    reply(7, "Op", "creset", "", 1);
    EXPECT_EQ(journalLines(scratch.read("Quorlen.bank.journal")),
              (Texts{"1 1 Alice 10 100>110 [Bob] 0", "1 2 Bob 1 0>1 [Alice] 0 |", "1 5 Bob 3 1>4 [] 3 |",
                     "1 6 Alice 0 110>110 [] 1", "1 6 Bob 20 4>24 [] 1 |", "1 9 Bob 40 24>64 [Alice] 0",
                     "2 8 Alice 40 110>70 [Bob] 0 |", "2 10 Bob 5 64>59 [Shield] 3 |", "1 11 Carl 7 0>7 [Op] 0 |",
                     "2 12 Carl 2 7>5 [Op] 0 |", "4 13 Alice 0 70>0 [Op] 0", "4 13 Bob 0 59>0 [Op] 0",
                     "4 13 Carl 0 5>0 [Op] 0", "3 13  0 0>0 [Op] 0 |"}));
}

// An append cut short between the two records of a donation: neither counts,
// on any bot.
TEST_F(SharedBank, AHalfWrittenTransactionCountsForNothing) {
    start({{"Alice", 100}});
    EXPECT_EQ(reply(7, "Alice", "donate", "Bob:40"), "40 credits donated to Bob");
    const std::filesystem::path journal = scratch.path() / "Quorlen.bank.journal";
    std::filesystem::resize_file(journal, std::filesystem::file_size(journal) - sizeof(JournalRecord));
    host.init(11);
    EXPECT_EQ(reply(11, "Bob", "creds"), "You have never had any credits");
    EXPECT_EQ(reply(7, "Alice", "creds"), "You have 100 credits");
}

// A journal an earlier build left is read and folded into the bank at the
// first load, never refused.
TEST_F(SharedBank, AJournalOfTheEarlierLayoutIsFoldedAtLoad) {
    const std::string bank = bankBytes({{"Bob", 10}});
    scratch.write(bankFileName(), bank);
    BankHasher hasher;
    hasher.add(bank.data(), bank.size());
    const uint64_t header[8] = {0, 5, bank.size(), hasher.result()};
    std::string journal(reinterpret_cast<const char*>(header), sizeof header);
    journal.replace(0, 8, "KDRLJRN1");
    scratch.write("Quorlen.bank.journal", journal + oldRecord(1, "Bob", 5) + oldRecord(1, "Amy", 6));
    host.init(7);
    EXPECT_EQ(reply(7, "Bob", "creds"), "You have 15 credits");
    EXPECT_EQ(file(), (Ledger{{"Bob", 15}, {"Amy", 6}}));
    EXPECT_EQ(scratch.read("Quorlen.bank.journal").substr(0, 8), "KDRLJRN2");
}

// A checkpoint files the changes it folds in the month's history before the
// journal lets go of them. A crash between the two files none of them twice,
// and a journal started afresh numbers its changes on from the history.
TEST_F(SharedBank, TheHistoryHoldsEveryFoldedChangeOnce) {
    start({{"Alice", 100}});
    reply(7, "Alice", "donate", "Bob:40");
    const std::string bank = scratch.read(bankFileName()), journal = scratch.read("Quorlen.bank.journal");
    host.tick(7, saveInterval);
    // The host died after the history took the records, before the new bank was in place.
    scratch.write(bankFileName(), bank);
    scratch.write("Quorlen.bank.journal", journal);
    host.init(11);
    reply(11, "Op", "cgive", "Carl:7", 1);
    for (uint32_t bot : {7, 9, 11}) host.term(bot);
    std::filesystem::remove(scratch.path() / "Quorlen.bank.journal");
    host.init(13);
    host.prize(13, PlayerRecord("Bob"), 3);
    host.term(13);
    char month[16];
    const std::time_t now = std::time(nullptr);
    std::strftime(month, sizeof month, "%Y-%m", std::gmtime(&now));
    EXPECT_EQ(journalLines(scratch.read(std::string("Quorlen.history.") + month), 16),
              (Texts{"1 9 Bob 40 0>40 [Alice] 0", "2 8 Alice 40 100>60 [Bob] 0 |", "1 11 Carl 7 0>7 [Op] 0 |",
                     "1 5 Bob 3 40>43 [] 3 |"}));
    EXPECT_EQ(file(), (Ledger{{"Alice", 60}, {"Bob", 43}, {"Carl", 7}}));
}

TEST_F(SharedBank, ADamagedRecordBeforeGoodOnesSetsTheJournalAside) {
    host.init(7);
    host.prize(7, PlayerRecord("Bob"), 5);
    host.prize(7, PlayerRecord("Amy"), 6);
    host.prize(7, PlayerRecord("Cid"), 7);
    std::string damaged = scratch.read("Quorlen.bank.journal");
    damaged[damaged.size() - 2 * sizeof(JournalRecord) + 40] ^= 0x40;  // inside Amy's record
    scratch.write("Quorlen.bank.journal", damaged);
    host.clearRequests();
    host.init(9);
    EXPECT_EQ(host.texts(),
              (Texts{"DLL plugin connected.", "Loading data...",
                     "Quorlen.bank.journal is damaged; it was copied to Quorlen.bank.journal.damaged", "Data loaded"}));
    EXPECT_EQ(scratch.read("Quorlen.bank.journal.damaged"), damaged) << "never destroyed";
    host.term(9);
    EXPECT_EQ(file(), (Ledger{{"Bob", 5}})) << "the records before the damage count";
}

}  // namespace
}  // namespace kadrel::testing
