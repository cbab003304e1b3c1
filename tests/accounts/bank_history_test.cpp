// The history files every change once, whatever a restore or the month's
// file went through: stories of a folder played by a bot as the host drives
// it, then one more bot that connects and saves.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "accounts/bank_reader.h"
#include "accounts/history_file.h"
#include "bank_model.h"
#include "economy_writer.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

namespace fs = std::filesystem;

const std::string month = std::string(KADREL_BANK_HISTORY ".") + monthOf(std::time(nullptr)).text();

// Number, cause, name, balances and a bar at a transaction's end.
std::string lineOf(const JournalRecord& r) {
    return !isSoundRecord(r) ? "damaged"
                             : std::to_string(r.sequence) + " " + std::to_string(r.cause) + " " + r.name + " " +
                                   std::to_string(r.before) + ">" + std::to_string(r.after) +
                                   (r.flags == endsTransaction ? " |" : "");
}

Texts historyLines(const std::string& bytes) {
    Texts lines;
    for (const JournalRecord& r : journalRecords(bytes, sizeof(HistoryHeader))) lines.push_back(lineOf(r));
    return lines;
}

// The transactions as the read side shows them.
Texts walked() {
    struct Lines final : TransactionVisitor {
        void transaction(std::span<const JournalRecord> records) override {
            for (const JournalRecord& r : records) lines.push_back(lineOf(r));
        }
        Texts lines;
    } read;
    walkTransactions(read);
    return read.lines;
}

struct Folder {
    // Keeps the status lines that name the history.
    Folder() {
        host.onRequest = [this](const Request& request) {
            if (request.text.find("history") != std::string::npos) heard.push_back(request.text);
        };
    }
    std::string reply(const char* name, const char* word, const char* parameters = "") {
        return host.reply(7, PlayerRecord(name, 1, 2), word, parameters);
    }

    ScratchDir scratch;
    TestHost host;
    std::string bank, journal;  // backed up before the first save
    Texts heard;
};

struct Story {
    const char* name;
    std::function<void(Folder&)> play;  // between the saves of three changes and one more
    Texts lastFiled;                    // the month's records from the third on
    int32_t bob;                        // 40 where a restore took the award away
    Texts statusLines;
    std::function<void(Folder&)> afterSave = [](Folder&) {};
};

const Texts restored{"3 5 Bob 40>43 |", "4 11 Carl 0>7 |"};

const Story stories[] = {
    {"a bank and journal restored under a running bot", [](Folder& folder) {
         folder.scratch.write(bankFileName(), folder.bank);
         folder.scratch.write("Quorlen.bank.journal", folder.journal);
     }, restored, 40, {}},
    {"a journal started afresh while the newest month cannot be read",
     [](Folder& folder) {
         folder.host.term(7);
         fs::remove("Quorlen.bank.journal");
         fs::rename(month, "kept");
         fs::create_directory(month);
         folder.host.init(7);
         EXPECT_EQ(folder.reply("Bob", "creds"), "The bank is not available right now");
         fs::remove(month);
         fs::rename("kept", month);
     },
     restored, 43,
     {"the newest month of Quorlen.history cannot be read; balances are not shown or spent until it can"}},
    {"a damaged record at the end of the month",
     [](Folder& folder) {
         std::string bytes = folder.scratch.read(month);
         bytes[bytes.size() - 50] ^= 0x10;
         folder.scratch.write(month, bytes);
     },
     {"damaged", "4 11 Carl 0>7 |"}, 43,
     {month + " is damaged: a record that cannot be read is kept, and the changes are filed after it"}},
    {"a month's file that is not a history",
     [](Folder& folder) {
         fs::rename(month, "kept");
         folder.scratch.write(month, std::string(200, 'x'));
     },
     restored, 43,
     {month + " is damaged: it is not a history file; the changes stay in Quorlen.bank.journal until it is moved "
              "away"},
     [](Folder& folder) {
         EXPECT_EQ(folder.scratch.read(month), std::string(200, 'x'));
         fs::rename("kept", month);
     }},
};

TEST(History, EveryChangeIsFiledOnceWhateverTheFilesWentThrough) {
    for (const Story& story : stories) {
        SCOPED_TRACE(story.name);
        Folder folder;
        folder.scratch.write(bankFileName(), bankBytes({{"Alice", 100}}));
        folder.scratch.write("credits.ini", "[Credits]\nPrize3=3\n");
        folder.host.init(7);
        EXPECT_EQ(folder.reply("Alice", "donate", "Bob:40"), "40 credits donated to Bob");
        folder.bank = folder.scratch.read(bankFileName());
        folder.journal = folder.scratch.read("Quorlen.bank.journal");
        folder.host.tick(7, saveInterval);
        folder.host.prize(7, PlayerRecord("Bob"), 3);
        folder.host.tick(7, saveInterval);
        story.play(folder);
        EXPECT_EQ(folder.reply("Op", "cgive", "Carl:7"), "Credits added");
        const Texts shown = walked();
        folder.host.term(7);
        story.afterSave(folder);
        folder.host.init(3);
        folder.host.term(3);
        const Texts filed = historyLines(folder.scratch.read(month));
        ASSERT_GE(filed.size(), 2u);
        EXPECT_EQ(Texts(filed.begin(), filed.begin() + 2), (Texts{"1 9 Bob 0>40", "2 8 Alice 100>60 |"}));
        EXPECT_EQ(Texts(filed.begin() + 2, filed.end()), story.lastFiled);
        EXPECT_EQ(parseBank(folder.scratch.read(bankFileName())), (Ledger{{"Alice", 60}, {"Bob", story.bob}, {"Carl", 7}}));
        EXPECT_EQ(folder.heard, story.statusLines);
        // Where the month was sound, the read side numbered the changes
        // before the save as the save filed them.
        if (story.statusLines.empty()) {
            EXPECT_EQ(shown, filed);
        }
    }
}

// A shared folder's standing takes no number: the history numbers the
// changes as if it were not there, a change brought down from another folder
// is filed with the record that ends it, and each checkpoint carries the
// share, the live leases and the standing wishes into the fresh journal,
// dropping the wishes more than a minute old and those a lease answered
// since (Gus's was, and the lease went on to another folder).
TEST(History, ASharedFoldersStandingTakesNoNumberAndEachCheckpointCarriesIt) {
    Folder folder;
    folder.scratch.write(bankFileName(), bankBytes({{"Alice", 100}}));
    folder.host.init(7);
    EXPECT_EQ(folder.reply("Alice", "donate", "Bob:40"), "40 credits donated to Bob");
    const int64_t now = std::time(nullptr);
    {
        EconomyWriter sync;
        sync.write({makeSharedRecord(4, now), makeLeaseRecord("alice", now + 600, now),
                    makeLeaseRecord("Bob", now + 600, now), makeLeaseRecord("BOB", now - 1, now),
                    makeWantedRecord("Carl", now), makeWantedRecord("Fay", now - 61), makeWantedRecord("Gus", now),
                    makeLeaseRecord("gus", 0, now)});
        sync.write({makeJournalRecord(JournalKind::Add, 5, "Dave", {JournalCause::ToolImport}, 0, 5),
                    makeArrivedRecord(2, 77, now)});
    }
    EXPECT_EQ(folder.reply("Op", "cgive", "Carl:7"), "Credits added");
    const Texts shown = walked();
    folder.host.term(7);
    folder.host.init(3);
    EXPECT_EQ(folder.reply("Op", "cgive", "Eve:1"), "Credits added");
    folder.host.term(3);
    const Texts filed{"1 9 Bob 0>40", "2 8 Alice 100>60 |", "3 17 Dave 0>5", "4 0  0>0 |", "5 11 Carl 0>7 |"};
    EXPECT_EQ(shown, filed) << "the read side numbers the journal as the checkpoint files it";
    Texts all = filed;
    all.push_back("6 11 Eve 0>1 |");
    EXPECT_EQ(historyLines(folder.scratch.read(month)), all);
    // Bob's newest lease had ended; Carl's wish stands a minute from `now`.
    std::vector<std::pair<int, std::string>> carried;
    for (const JournalRecord& r : journalRecords(folder.scratch.read("Quorlen.bank.journal"))) {
        carried.emplace_back(r.sequence == 0 ? r.kind : -1, r.name);
    }
    EXPECT_EQ(carried, (std::vector<std::pair<int, std::string>>{{6, ""}, {5, "alice"}, {8, "Carl"}}));
    EXPECT_EQ(parseBank(folder.scratch.read(bankFileName())),
              (Ledger{{"Alice", 60}, {"Bob", 40}, {"Dave", 5}, {"Carl", 7}, {"Eve", 1}}));
}

}  // namespace
}  // namespace kadrel::testing
