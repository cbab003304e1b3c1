// kadrel bank's undo, rollback, set and history beside running bots: one
// story a row, each aimed at a rule the tools must keep, on a folder whose
// bank holds Alice 100 and Bob 50 with bots 1 and 2 started.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>

#include "accounts/journal_format.h"
#include "bank_model.h"
#include "folder_host.h"
#include "host/bot_instance.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

using stand_in::PlayerRecord;

const PlayerRecord alice("Alice");
const PlayerRecord bob("Bob");
const PlayerRecord op = PlayerRecord("Op").accessLevel(1);

// The number of the newest transaction.
std::string last() {
    const std::string csv = runKadrel("bank history --last 1 --csv").out;
    const size_t line = csv.find('\n') + 1;
    return csv.substr(line, csv.find(',', line) - line);
}

void apply(const std::string& arguments) {
    const ProgramRun run = runKadrel(arguments + " --apply");
    EXPECT_EQ(run.status, 0) << arguments << '\n' << run.out << run.err;
}

ProgramRun refused(const std::string& arguments, const std::string& why, const std::string& wrapper = "") {
    const ProgramRun run = runKadrel(arguments, "", nullptr, wrapper);
    EXPECT_NE(run.status, 0) << arguments;
    EXPECT_EQ(run.out.find("Applied."), std::string::npos) << arguments << '\n' << run.out;
    EXPECT_NE(run.err.find(why), std::string::npos) << arguments << '\n' << run.err;
    return run;
}

// Moves the times of a transaction's records in the journal by `seconds`,
// as a clock set wrong then right would have written them.
void shiftTime(const ScratchDir& scratch, uint64_t transaction, int64_t seconds) {
    std::string journal = scratch.read("Quorlen.bank.journal");
    for (size_t at = sizeof(JournalHeader); at + sizeof(JournalRecord) <= journal.size(); at += sizeof(JournalRecord)) {
        JournalRecord record;
        std::memcpy(&record, journal.data() + at, sizeof record);
        if (record.sequence < transaction) continue;
        record.time += seconds;
        sealJournalRecord(record, record.sequence);
        std::memcpy(journal.data() + at, &record, sizeof record);
        if ((record.flags & endsTransaction) != 0) break;
    }
    scratch.write("Quorlen.bank.journal", journal);
}

struct Story {
    const char* name;
    std::function<void(FolderHost&, const ScratchDir&)> play;
    Balances after;  // what export shows at the end
    Ledger bank = {{"Alice", 100}, {"Bob", 50}};
};

const Story stories[] = {
    {"a rollback puts back what a gift made while the bank was missing really moved",
     [](FolderHost& host, const ScratchDir& scratch) {
         host.prize(1, bob, 5);
         const std::string before = last();
         std::filesystem::remove(scratch.path() / bankFileName());
         host.init(3);
         EXPECT_EQ(host.reply(3, op, "cgive", "Alice:10"), "Credits added");
         host.tick(1, saveInterval);
         EXPECT_EQ(exportedBalances(), (Balances{{"Alice", 110}, {"Bob", 55}}));
         apply("bank rollback --to " + before);
     },
     {{"Alice", 100}, {"Bob", 55}}},
    {"a rollback puts back what a gift made while the lock failed really moved",
     [](FolderHost& host, const ScratchDir&) {
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:60"), "60 credits donated to Bob");
         const std::string before = last();
         FolderHost::locksFail = true;
         EXPECT_EQ(host.reply(2, op, "cgive", "Alice:5"), "Credits added");
         FolderHost::locksFail = false;
         host.reply(2, alice, "creds");
         EXPECT_EQ(exportedBalances(), (Balances{{"Alice", 45}, {"Bob", 110}}));
         apply("bank rollback --to " + before);
     },
     {{"Alice", 40}, {"Bob", 110}}},
    {"an undo stands until it is undone itself",
     [](FolderHost& host, const ScratchDir&) {
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:60"), "60 credits donated to Bob");
         const std::string donation = last();
         apply("bank undo " + donation);
         const std::string undo = last();
         refused("bank undo " + donation, "transaction " + donation + " was undone already, by transaction " + undo);
         apply("bank undo " + undo);
         apply("bank undo " + donation);
     },
     {{"Alice", 100}, {"Bob", 50}}},
    {"of two shells undoing one transaction at once, one succeeds",
     [](FolderHost& host, const ScratchDir& scratch) {
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:60"), "60 credits donated to Bob");
         const std::string undo = "'" KADREL_PROGRAM "' bank undo " + last() + " --apply";
         ASSERT_EQ(std::system((undo + " >one 2>&1 & " + undo + " >two 2>&1; wait").c_str()), 0);
         const std::string both = scratch.read("one") + scratch.read("two");
         EXPECT_EQ(both.find("Applied."), both.rfind("Applied.")) << both;
         EXPECT_NE(both.find("was undone already"), std::string::npos) << both;
     },
     {{"Alice", 100}, {"Bob", 50}}},
    {"a rollback follows the changes' order, and refuses a time the clock made ambiguous",
     [](FolderHost& host, const ScratchDir& scratch) {
         host.prize(1, bob, 5);
         const std::string ahead = last();
         EXPECT_EQ(host.reply(1, op, "cgive", "Alice:10"), "Credits added");
         const std::string behind = last();
         EXPECT_EQ(host.reply(1, op, "cgive", "Alice:20"), "Credits added");
         shiftTime(scratch, std::stoull(ahead), 3600);
         const std::string between = timeText(std::time(nullptr) + 1800);
         refused("bank rollback --to " + between,
                 "transaction " + ahead + " is at or after " + between + ", transaction " + behind + " after it is before");
         apply("bank rollback --to " + ahead);
     },
     {{"Alice", 100}, {"Bob", 55}}},
    {"an undo of a reset gives back what the name's account held, not every record of it",
     [](FolderHost& host, const ScratchDir&) {
         EXPECT_EQ(host.reply(1, op, "creset"), "All credits have been cleared");
         apply("bank undo " + last());
     },
     {{"Alice", 100}, {"Bob", 50}},
     {{"Alice", 100}, {"Bob", 50}, {"ALICE", 50}}},
    {"a plan that cannot see every change it needs refuses",
     [](FolderHost& host, const ScratchDir& scratch) {
         host.prize(1, bob, 5);
         EXPECT_EQ(host.reply(1, op, "cgive", "Alice:10"), "Credits added");
         EXPECT_EQ(host.reply(1, op, "cgive", "Alice:20"), "Credits added");
         host.tick(1, saveInterval);
         const std::string month = "Quorlen.history." + timeText(std::time(nullptr)).substr(0, 7);
         std::string bytes = scratch.read(month);
         bytes[16 + 88 + 40] ^= 1;  // the second record's name
         scratch.write(month, bytes);
         const std::string why = " cannot be read (" + month + " is damaged: ";
         for (const char* plan : {"bank rollback --to 1", "bank undo --player Alice", "bank undo 2"}) refused(plan, why);
     },
     {{"Alice", 130}, {"Bob", 55}}},
    {"an undo is refused a transaction there is not, and an option given empty",
     [](FolderHost&, const ScratchDir&) {
         refused("bank undo 999", "there is no transaction 999");
         for (const char* empty : {"bank undo --from ''", "bank undo --player ''", "bank history --last ''",
                                   "bank history --prune-before ''", "bank rollback --to ''"}) {
             refused(empty, "must not be empty");
         }
     },
     {{"Alice", 100}, {"Bob", 50}}},
    {"a plan lists what it reverses, and marks only balances that go below zero",
     [](FolderHost& host, const ScratchDir&) {
         EXPECT_EQ(host.reply(1, op, "cgive", "Alice:10"), "Credits added");
         const std::string first = last();
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:105"), "105 credits donated to Bob");
         EXPECT_EQ(host.reply(1, op, "ctake", "Bob:200"), "Credits removed");
         EXPECT_EQ(host.reply(1, op, "cgive", "Bob:5"), "Credits added");
         EXPECT_EQ(maskTimes(runKadrel("bank undo --cause cgive").out),
                   "undoes transaction " + first + " (cgive, TIME)\nundoes transaction " + last() +
                       " (cgive, TIME)\n"
                       "Alice                          5 ->          -5  below zero: the credits were spent\n"
                       "Bob                          -40 ->         -45\n"
                       "2 balances change, 1 goes below zero\n"
                       "Nothing was changed: add --apply to make these changes.\n");
     },
     {{"Alice", 5}, {"Bob", -40}}},
    {"a tool says a change is made only once it is on the disk",
     [](FolderHost& host, const ScratchDir&) {
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:60"), "60 credits donated to Bob");
         const std::string flushFails =
             "env LD_PRELOAD=" KADREL_FAILING_FLUSH " ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\"";
         for (const std::string& tool : {"bank undo " + last() + " --apply", std::string("bank set Bob 7")}) {
             EXPECT_EQ(refused(tool, "cannot bring Quorlen.bank.journal to the disk", flushFails).out.find("-> 7"),
                       std::string::npos);
         }
     },
     {{"Alice", 100}, {"Bob", 7}}},
    {"pruning never takes the newest month, and takes nothing without --apply",
     [](FolderHost& host, const ScratchDir& scratch) {
         host.prize(1, bob, 5);
         host.tick(1, saveInterval);
         const std::string month = "Quorlen.history." + timeText(std::time(nullptr)).substr(0, 7);
         scratch.write(month + ".bak", scratch.read(month));
         scratch.write("Quorlen.history.2020-01", "");
         EXPECT_EQ(runKadrel("bank history --prune-before 2100-01").out,
                   "would remove Quorlen.history.2020-01\nNothing was removed: add --apply to remove these files.\n");
         EXPECT_EQ(runKadrel("bank history --prune-before 2100-01 --apply").out, "removed Quorlen.history.2020-01\n");
         EXPECT_TRUE(scratch.exists(month) && scratch.exists(month + ".bak") &&
                     !scratch.exists("Quorlen.history.2020-01"));
     },
     {{"Alice", 100}, {"Bob", 55}}},
};

TEST(ToolStories, WhatTheToolsMoveIsWhatTheChangesDid) {
    for (const Story& story : stories) {
        SCOPED_TRACE(story.name);
        ScratchDir scratch;
        scratch.write("buy.ini", "");
        scratch.write("credits.ini", "[Credits]\nPrize5=5\n");
        scratch.write(bankFileName(), bankBytes(story.bank));
        FolderHost host;
        host.init(1);
        host.init(2);
        story.play(host, scratch);
        EXPECT_EQ(exportedBalances(), story.after);
    }
}

}  // namespace
}  // namespace kadrel::testing
