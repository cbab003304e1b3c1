#include "accounts/bank_journal.h"

#include <cstring>

#include "accounts/bank_file.h"
#include "accounts/bank_format.h"
#include "accounts/journal_reader.h"
#include "accounts/ledger.h"

namespace kadrel {

namespace {

class LedgerApplier final : public JournalVisitor {
public:
    explicit LedgerApplier(Ledger& ledger) : ledger(ledger) {}
    void record(const JournalRecord& record) override { applyJournalRecord(ledger, record); }

private:
    Ledger& ledger;
};

}  // namespace

void BankJournal::attach() {
    attached = true;
    if (journal.isOpen()) return;
    switch (journal.open(bank::journalFileName)) {
        case platform::SharedFile::Opened::Ready:
            streaks.end(Streak::Journal);
            synced = false;  // the journal may hold changes this ledger lacks
            break;
        case platform::SharedFile::Opened::NotRegular:
            streaks.fail(reporter, Streak::Journal,
                         KADREL_BANK_JOURNAL " is not a regular file; changes are kept in memory until the next save");
            break;
        case platform::SharedFile::Opened::Failed:
            streaks.fail(reporter, Streak::Journal,
                         KADREL_BANK_JOURNAL " cannot be opened; changes are kept in memory until the next save");
            break;
    }
}

// False when there is a bank that cannot be read: its balances must then be
// neither shown as if it were empty nor saved over.
bool BankJournal::readBank(uint64_t& length, uint64_t& hash) {
    const BankRead read = readBankFile(bank::fileName, ledger);
    length = read.length;
    hash = read.hash;
    switch (read.outcome) {
        case BankRead::Outcome::Loaded:
        case BankRead::Outcome::Missing:
            return true;
        case BankRead::Outcome::Damaged:
            return setDamagedBankAside(reporter);
        case BankRead::Outcome::NotRegular:
            streaks.fail(reporter, Streak::Bank,
                         KADREL_BANK_FILE " is not a regular file; it is neither read nor saved over");
            return false;
        case BankRead::Outcome::Unreadable:
            break;
    }
    streaks.fail(reporter, Streak::Bank, KADREL_BANK_FILE " cannot be read; it is not saved over until it can");
    return false;
}

// The records between two offsets, into the ledger; `seen` moves past each.
// A torn tail is cut off; damage is copied aside first.
bool BankJournal::applyJournal(uint64_t from, uint64_t to) {
    LedgerApplier applier(ledger);
    const JournalScan scan = scanJournal(journal, from, to, applier);
    seen = scan.end;
    switch (scan.ending) {
        case JournalScan::Ending::Clean:
            return true;
        case JournalScan::Ending::ReadFailed:
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

bool BankJournal::startAfresh(uint64_t length, uint64_t hash, uint64_t foldedLength) {
    JournalHeader header{};
    std::memcpy(header.magic, journalMagic, sizeof journalMagic);
    header.generation = generation + 1;
    header.bankLength = length;
    header.bankHash = hash;
    header.foldedGeneration = generation;
    header.foldedLength = foldedLength;
    if (!startJournalAfresh(journal, header)) return false;
    generation = header.generation;
    seen = journalHeaderSize;
    return true;
}

// Settles the journal against the bank just read (accounts/README.md, "What
// a load does"): its records are applied when they belong to this bank;
// otherwise they are in it already, or the bank was replaced by other means
// and wins, and the journal starts afresh.
bool BankJournal::recoverJournal(uint64_t length, uint64_t hash) {
    JournalHeader header{};
    uint64_t size = 0;
    bool haveHeader = readJournalHeader(journal, header, size);
    if (haveHeader && !isSoundHeader(header)) {
        copyJournalAside(journal, size, reporter);
        haveHeader = false;
    }
    const bool pending = haveHeader && header.pendingHash != 0;
    const bool folded = pending && header.pendingHash == hash && header.pendingLength == length;
    if (pending && !folded) {
        header.pendingHash = 0;
        header.pendingLength = 0;
        if (!writeJournalHeader(journal, header)) haveHeader = false;
    }
    if (haveHeader && !folded && header.bankLength == length && header.bankHash == hash) {
        generation = header.generation;
        seen = journalHeaderSize;
        return applyJournal(journalHeaderSize, size);
    }
    generation = haveHeader ? header.generation : 0;
    if (!startAfresh(length, hash, 0)) {
        streaks.fail(reporter, Streak::Journal,
                     KADREL_BANK_JOURNAL " cannot be written; changes are kept in memory until the next save");
        journal.close();
    }
    return true;
}

// The ledger built anew from bank and journal, with this bot's unwritten
// changes on top.
BankJournal::Sync BankJournal::reload() {
    synced = false;
    ledger.clear();
    uint64_t length = 0;
    uint64_t hash = 0;
    if (!readBank(length, hash)) {
        ledger.clear();
        appender.applyTo(ledger);
        return Sync::Failed;
    }
    streaks.end(Streak::Bank);
    if (journal.isOpen() && !recoverJournal(length, hash)) return Sync::Failed;
    appender.applyTo(ledger);
    synced = true;
    return Sync::Ready;
}

BankJournal::Sync BankJournal::catchUp() {
    if (!attached) return Sync::Ready;
    if (!journal.isOpen()) return synced ? Sync::Ready : reload();
    if (!synced) return reload();
    JournalHeader header{};
    uint64_t size = 0;
    if (!readJournalHeader(journal, header, size) || !isSoundHeader(header) || header.pendingHash != 0) {
        return reload();
    }
    if (header.generation != generation) {
        // A checkpoint that folded exactly what this ledger holds needs no
        // reload: the new bank is this ledger without its unwritten changes.
        if (header.foldedGeneration != generation || header.foldedLength != seen || header.foldedLength == 0) {
            return reload();
        }
        generation = header.generation;
        seen = journalHeaderSize;
    }
    if (size < seen) return reload();
    if (size == seen) return Sync::Ready;
    synced = false;  // until every new record is in
    if (!applyJournal(seen, size)) return reload();
    synced = true;
    return Sync::Ready;
}

void BankJournal::load() {
    attach();
    synced = false;
    begin();
    end();
}

void BankJournal::begin() {
    if (depth > 0) {
        ++depth;
        return;
    }
    locked = journal.isOpen() && journal.lock();
    depth = 1;
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
    if (!locked) return;
    if (synced && appender.pending()) {
        if (appender.append(journal, seen)) {
            streaks.end(Streak::Write);
        } else {
            streaks.fail(reporter, Streak::Write,
                         KADREL_BANK_JOURNAL " could not be written; changes are kept in memory until the next save");
        }
    }
    journal.unlock();
    locked = false;
}

void BankJournal::makeDurable() {
    if (!appender.makeDurable(journal)) {
        streaks.fail(reporter, Streak::Write,
                     KADREL_BANK_JOURNAL " could not be written; changes are kept in memory until the next save");
    }
}

}  // namespace kadrel
