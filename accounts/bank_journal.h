// A bot's link to the shared bank: Quorlen.bank plus Quorlen.bank.journal,
// the changes not yet folded into it. Every bot of every host process in the
// directory appends its changes to the journal under one lock and takes in
// the others' before it reads a balance, so that all of them hold the same
// balances; a checkpoint folds the journal into the bank.
//
// The bot's ledger always equals the bank, plus the journal up to `seen`,
// plus the changes that could not be written yet (`unwritten`, appended at
// the next chance and folded in at the next checkpoint in any case).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "accounts/bank_format.h"
#include "accounts/journal_format.h"
#include "platform/platform.h"

namespace kadrel {

class BotInstance;
class Ledger;

class BankJournal {
public:
    // Reads bank and journal into the bot's ledger, opening (or creating)
    // the journal first.
    void load(BotInstance& bot);

    // Between begin() and end() the bot holds the lock and its ledger holds
    // every change made so far by anybody; changes noted meanwhile are
    // appended at end() in one write. Calls nest; only the outermost counts.
    void begin(BotInstance& bot);
    void end(BotInstance& bot) noexcept;

    // False while the bank cannot be read: the ledger then holds only this
    // bot's own changes, and no balance may be shown or spent from it.
    bool ready() const { return !attached || synced; }

    // Room for `records` more notes, taken before the ledger changes so that
    // noting cannot fail once it has.
    void reserve(size_t records);
    // A change that the caller has just applied to the ledger.
    void note(const JournalRecord& record) noexcept;

    // Folds the journal into the bank: the bank then holds the whole ledger
    // and the journal starts afresh. Tries `attempts` times, a short pause
    // apart, before it gives up; what it could not write stays in the journal.
    void checkpoint(BotInstance& bot, int attempts);

    // For tools that edit the bank as a whole while bots run: under the lock,
    // brings the ledger up to date, lets `edit` change it in place and writes
    // it as the new bank, which every bot then reloads. False when the bank
    // could not be read or written; it is then as it was.
    bool rewrite(BotInstance& bot, const std::function<void(Ledger&)>& edit);

    // Brings what was appended since the last call to the disk.
    void makeDurable(BotInstance& bot);

private:
    enum class Sync { Ready, Failed };
    enum class Saved { Written, Skipped, Failed };

    Sync catchUp(BotInstance& bot);
    Sync reload(BotInstance& bot);
    bool readBank(BotInstance& bot, Ledger& ledger, uint64_t& length, uint64_t& hash);
    bool readHeader(JournalHeader& header, uint64_t& size);
    bool writeFreshHeader(uint64_t generation, uint64_t bankLength, uint64_t bankHash, uint64_t foldedLength);
    bool applyRecords(BotInstance& bot, Ledger& ledger, uint64_t from, uint64_t to);
    void setJournalAside(BotInstance& bot, uint64_t size);
    void applyUnwritten(Ledger& ledger) const;
    bool writeUnwritten();
    void openJournal(BotInstance& bot);
    void report(BotInstance& bot, bool& streak, const char* message);
    Saved writeBank(BotInstance& bot, uint64_t& length, uint64_t& hash);
    Saved checkpointLocked(BotInstance& bot, bool foldsJournal);

    platform::SharedFile journal;
    // A bot works in memory alone until its first load or save attaches it
    // to the bank; what it changed before then is added at that moment.
    bool attached = false;
    int depth = 0;
    bool locked = false;
    bool synced = false;
    bool durable = true;
    uint64_t generation = 0;
    uint64_t seen = 0;
    std::vector<JournalRecord> unwritten;

    // One status line at the first failure of a streak, not one per event.
    bool journalFailing = false;
    bool writeFailing = false;
    bool bankFailing = false;
    bool saveFailing = false;
    bool skipReported = false;
};

}  // namespace kadrel
