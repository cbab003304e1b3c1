// A bot's link to the shared bank: Quorlen.bank plus Quorlen.bank.journal,
// the changes not yet folded into it. Every bot of every host process in the
// directory appends its changes to the journal under one lock and takes in
// the others' before it reads a balance, so that all of them hold the same
// balances; a checkpoint folds the journal into the bank. The files, and what
// a crash between any two steps leaves, are described in accounts/README.md.
//
// This object keeps the decisions (when to lock, catch up, recover, fold);
// reading and writing the files are the units bank_file, journal_reader and
// journal_writer. It knows the bot only by its ledger and a reporter.
//
// The ledger always equals the bank, plus the journal up to `seen`, plus the
// changes that could not be written yet (appended at the next chance and
// folded in at the next checkpoint in any case).
//
// It fails closed: a balance is shown or spent only while the bot holds the
// lock on the journal at the bank's path and has read bank and journal; a
// spend is answered only once it is in the journal. Records leave the journal
// only for a bank that holds them and is in place on the disk.
#pragma once

#include <cstdint>
#include <functional>

#include "accounts/bank_reporter.h"
#include "accounts/journal_format.h"
#include "accounts/journal_writer.h"
#include "accounts/shared_economy.h"
#include "platform/platform.h"

namespace kadrel {

class Ledger;

class BankJournal {
public:
    // `owner` tells this bot's temporary file from another's.
    BankJournal(Ledger& ledger, BankReporter& reporter, uint32_t owner)
        : ledger(ledger), reporter(reporter), owner(owner) {}
    BankJournal(const BankJournal&) = delete;
    BankJournal& operator=(const BankJournal&) = delete;

    // Reads bank and journal into the ledger, opening (or creating) the
    // journal first. It stays open until close().
    void load();

    // Brings the journal to the disk and lets go of it, as at a disconnect:
    // until the next load, a change opens it for just its own time, so that
    // a bot at rest holds no file.
    void close();

    // Between begin() and end() the bot holds the lock and its ledger holds
    // every change made so far by anybody; changes noted meanwhile are
    // appended at end() in one write. Calls nest; only the outermost counts.
    void begin();
    void end() noexcept;

    // False while the bank, the journal or the lock cannot be had: the ledger
    // then holds only this bot's own changes, and no balance may be shown or
    // spent from it.
    bool ready() const { return !attached || synced; }
    // Nothing may reach the host meanwhile: it may answer by calling another
    // bot of this process, which would then wait for this lock.
    bool holdsLock() const { return locked; }

    // Appends what the change under way noted, before it is answered. False
    // when that fails: the change is then undone and must be refused.
    bool commit();

    void reserve(size_t records) { appender.reserve(records); }
    // A change that the caller has just applied to the ledger.
    void note(const JournalRecord& record) noexcept { appender.note(record); }

    // Folds the journal into the bank: the bank then holds the whole ledger
    // and the journal starts afresh. Tries `attempts` times, a short pause
    // apart, before it gives up; what it could not write stays in the journal.
    void checkpoint(int attempts);

    // For tools that edit the bank as a whole while bots run: under the lock,
    // brings the ledger up to date, lets `edit` change it in place and writes
    // it as the new bank, which every bot then reloads. False when the bank
    // could not be read or written, or `edit` gave up; the bank is then as it
    // was, with whatever `edit` committed to the journal.
    bool rewrite(const std::function<bool(Ledger&)>& edit);

    // Brings what was appended since the last call to the disk.
    void makeDurable();

    // The folder's standing in an economy shared with other machines, as of
    // the records read so far; a checkpoint carries it into the fresh journal.
    const SharedEconomy& economy() const { return standing; }

    // begin() to end() over a scope, so that a throw in between lets the
    // lock go.
    class Hold {
    public:
        explicit Hold(BankJournal& bank) : bank(bank) { bank.begin(); }
        ~Hold() { bank.end(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        BankJournal& bank;
    };

private:
    enum class Sync { Ready, Failed };
    enum class Saved { Written, Skipped, Failed };

    void attach();
    bool lockJournal();
    Sync catchUp();
    Sync reload();
    bool readBank(uint64_t& length, uint64_t& hash, bool& missing);
    bool setBankAside();
    bool recoverJournal(uint64_t length, uint64_t hash, bool bankMissing);
    bool adoptBank(JournalHeader& header, uint64_t size, uint64_t length, uint64_t hash);
    bool applyJournal(uint64_t from, uint64_t to);
    bool appendUnsynced();
    // Carries the standing of the shared economy into the fresh journal.
    bool startAfresh(uint64_t length, uint64_t hash, uint64_t foldedLength, uint64_t firstSequence);
    uint64_t sequenceAt(uint64_t end) const;
    bool sequenceAfterHistory(uint64_t& next);
    void takePosition(const JournalHeader& header, const JournalLayout& layout);
    Saved prepareBank(platform::FileReplacement& replacement, uint64_t& length, uint64_t& hash);
    bool installBank(platform::FileReplacement& replacement, uint64_t length, uint64_t hash, uint64_t& next);
    Saved checkpointLocked(bool foldsJournal);
    Saved checkpointUnlocked();

    Ledger& ledger;
    BankReporter& reporter;
    uint32_t owner;
    platform::SharedFile journal;
    JournalAppender appender;
    Streaks streaks;
    int depth = 0;
    size_t changeMark = 0;  // the notes made before the change under way
    uint64_t generation = 0;
    uint64_t seen = 0;
    JournalPosition position;  // of the open journal, as its header last read, up to `seen`
    SharedEconomy standing;    // of the records up to `seen`
    // The bank as this bot last read or wrote it; another stamp at the path
    // means somebody else put a file there.
    platform::FileStamp bankStamp;
    // A bot works in memory alone until its first load or save attaches it
    // to the bank; what it changed before then is added at that moment.
    bool attached = false;
    bool locked = false;
    bool synced = false;
    bool knowsJournal = false;  // has seen a header in the open journal
    bool keepsOpen = false;     // between a load and a close
};

}  // namespace kadrel
