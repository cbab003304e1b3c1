// The bot's link to the shared bank (bank_journal.h): the lock, the
// catch-up before every look at a balance, and the appends at the end of a
// change. What a load settles is bank_recovery.cpp's, the checkpoint
// bank_checkpoint.cpp's.
#include "accounts/bank_journal.h"

#include "accounts/bank_format.h"
#include "accounts/history_file.h"
#include "accounts/journal_reader.h"
#include "accounts/ledger.h"

namespace kadrel {

namespace {

class LedgerApplier final : public JournalVisitor {
public:
    LedgerApplier(Ledger& ledger, JournalPosition& position, SharedEconomy& standing)
        : ledger(ledger), position(position), standing(standing) {}
    void record(const JournalRecord& record) override {
        applyJournalRecord(ledger, record);
        position.count(record);
        standing.take(record);
    }

private:
    Ledger& ledger;
    JournalPosition& position;
    SharedEconomy& standing;
};

}  // namespace

void BankJournal::attach() {
    attached = true;
    if (journal.isOpen()) return;
    knowsJournal = false;
    switch (journal.open(bank::journalFileName, bank::fileName)) {
        case platform::SharedFile::Opened::Ready:
            streaks.end(Streak::Journal);
            break;
        case platform::SharedFile::Opened::NotRegular:
            streaks.fail(reporter, Streak::Journal,
                         KADREL_BANK_JOURNAL " is not a regular file; balances are not shown or spent until it is");
            break;
        case platform::SharedFile::Opened::Failed:
            streaks.fail(reporter, Streak::Journal,
                         KADREL_BANK_JOURNAL " cannot be opened; balances are not shown or spent until it can");
            break;
    }
    synced = false;  // the journal may hold changes this ledger lacks
}

// The lock, on the file that is at the journal's path now: a journal moved
// away or replaced by hand is let go and the one at the path taken instead,
// since every other bot goes by the path.
bool BankJournal::lockJournal() {
    for (int attempt = 0; attempt < 2 && journal.isOpen(); ++attempt) {
        if (!journal.lock()) {
            streaks.fail(reporter, Streak::Lock,
                         KADREL_BANK_JOURNAL " cannot be locked; balances are not shown or spent until it can");
            return false;
        }
        streaks.end(Streak::Lock);
        if (journal.isAt(bank::journalFileName)) return true;
        journal.unlock();
        journal.close();
        reporter.report(KADREL_BANK_JOURNAL " was moved or replaced by another program; the balances are read again");
        attach();
    }
    return false;
}

// The records between two offsets, into the ledger; `seen` moves past each.
// A torn tail is cut off; damage is copied aside first.
bool BankJournal::applyJournal(uint64_t from, uint64_t to) {
    LedgerApplier applier(ledger, position, standing);
    const JournalScan scan = scanJournal(journal, position.layout, from, to, applier);
    seen = scan.end;
    switch (scan.ending) {
        case JournalScan::Ending::Clean:
            return true;
        case JournalScan::Ending::ReadFailed:
            return false;
        case JournalScan::Ending::Newer:
            streaks.fail(reporter, Streak::Newer,
                         KADREL_BANK_JOURNAL " holds a change of a kind that this build (journal version 2) cannot "
                                             "apply: a newer build shares the folder, and balances are not shown or "
                                             "spent until this bot runs it too");
            return false;
        case JournalScan::Ending::Damaged:
            copyJournalAside(journal, to, reporter);
            break;
        case JournalScan::Ending::TornTail:
            break;
    }
    journal.truncate(scan.end);
    return true;
}

// The ledger built anew from bank and journal, with this bot's unwritten
// changes on top.
BankJournal::Sync BankJournal::reload() {
    synced = false;
    ledger.clear();
    standing.clear();
    // Taken before the read: a change made meanwhile shows at the next look.
    bankStamp = platform::stampOf(bank::fileName);
    uint64_t length = 0;
    uint64_t hash = 0;
    bool missing = false;
    const bool read = readBank(length, hash, missing);
    if (read) streaks.end(Streak::Bank);
    if (!read || !recoverJournal(length, hash, missing)) {
        ledger.clear();
        appender.applyTo(ledger);
        return Sync::Failed;
    }
    streaks.end(Streak::Missing);
    streaks.end(Streak::Newer);
    appender.applyTo(ledger);
    synced = true;
    return Sync::Ready;
}

BankJournal::Sync BankJournal::catchUp() {
    if (!synced) return reload();
    JournalHeader header{};
    uint64_t size = 0;
    JournalLayout layout;
    if (!readJournalHeader(journal, header, size) || !soundLayout(header, size, layout) || layout != position.layout ||
        header.pendingHash != 0) {
        return reload();
    }
    const platform::FileStamp stamp = platform::stampOf(bank::fileName);
    if (header.generation != generation) {
        // A checkpoint that folded exactly what this ledger holds needs no
        // reload: the new bank is this ledger without its unwritten changes,
        // as long as a file of its length is what lies at the path.
        if (header.foldedGeneration != generation || header.foldedLength != seen || header.foldedLength == 0 ||
            stamp.state != platform::FileState::Regular || stamp.size != header.bankLength) {
            return reload();
        }
        generation = header.generation;
        takePosition(header, layout);
        seen = layout.headerSize;
        bankStamp = stamp;
    } else if (stamp != bankStamp) {
        // A bank removed or damaged under a bot that holds its balances is
        // written again by its next checkpoint; anything else put there is
        // read.
        const bool damaged = stamp.state == platform::FileState::Regular && stamp.size % bank::recordSize != 0;
        if (damaged) setBankAside();
        bankStamp = platform::stampOf(bank::fileName);
        if (bankStamp.state != platform::FileState::Missing || header.bankLength == 0) return reload();
        if (!damaged) {
            reporter.report(KADREL_BANK_FILE
                            " is missing; the next save writes it again from the balances this bot holds");
        }
    }
    if (size < seen) return reload();
    if (size == seen) return Sync::Ready;
    synced = false;  // until every new record is in
    if (!applyJournal(seen, size)) return reload();
    synced = true;
    return Sync::Ready;
}

// A journal of an earlier layout takes no records, and one numbered no
// further than the history's last (restored from a backup with its bank)
// would number new changes as the history's own: the load folds either into
// the bank, after which the numbers go on past the history's.
void BankJournal::load() {
    keepsOpen = true;
    attach();
    synced = false;
    const Hold hold(*this);
    uint64_t last = 0;
    if (synced && (!position.layout.isCurrent() || (lastHistorySequence(last) && sequenceAt(seen) <= last))) {
        checkpointLocked(false);
    }
}

void BankJournal::close() {
    keepsOpen = false;
    makeDurable();
    journal.close();
}

void BankJournal::begin() {
    if (depth > 0) {
        ++depth;
        return;
    }
    depth = 1;
    changeMark = appender.size();
    if (!attached) return;
    attach();
    locked = lockJournal();
    if (!locked) {
        synced = false;
        return;
    }
    try {
        catchUp();
    } catch (...) {
        // A load cut short leaves no half-built ledger behind; the next
        // change reloads.
        synced = false;
        ledger.clear();
        end();
        throw;
    }
}

void BankJournal::end() noexcept {
    if (depth == 0 || --depth > 0) return;
    appender.endTransaction(changeMark);
    if (!locked) return;
    if (appender.pending()) {
        if (synced ? appender.append(journal, seen, position, &standing) : appendUnsynced()) {
            streaks.end(Streak::Write);
        } else {
            streaks.fail(reporter, Streak::Write,
                         KADREL_BANK_JOURNAL " could not be written; changes are kept in memory until the next save");
        }
    }
    journal.unlock();
    locked = false;
    if (!keepsOpen) {
        appender.makeDurable(journal);
        journal.close();
    }
}

// Only a bank that is ready is spent from: the lock is held and `seen` is
// the journal's end.
bool BankJournal::commit() {
    if (!attached) return true;
    appender.endTransaction(changeMark);
    if (appender.append(journal, seen, position, &standing)) {
        streaks.end(Streak::Write);
        changeMark = appender.size();  // a later commit in the same hold is a transaction of its own
        return true;
    }
    streaks.fail(reporter, Streak::Write,
                 KADREL_BANK_JOURNAL " could not be written; balances are not spent until it can");
    appender.dropFrom(changeMark);
    reload();
    return false;
}

void BankJournal::makeDurable() {
    if (!appender.makeDurable(journal)) {
        streaks.fail(reporter, Streak::Write,
                     KADREL_BANK_JOURNAL " could not be written; changes are kept in memory until the next save");
    }
}

}  // namespace kadrel
