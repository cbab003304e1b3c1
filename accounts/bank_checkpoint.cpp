// The checkpoint: the ledger written as the new Quorlen.bank and the journal
// started afresh, in the order that accounts/README.md ("A checkpoint")
// shows safe at every step.
#include "accounts/bank_file.h"
#include "accounts/bank_format.h"
#include "accounts/bank_journal.h"
#include "accounts/journal_reader.h"
#include "accounts/ledger.h"

namespace kadrel {

namespace {

constexpr uint32_t checkpointPause = 200;  // milliseconds between attempts

}  // namespace

// Writes the ledger to a temporary file of this process and bot, announces
// it in the journal's header and renames it over the bank.
BankJournal::Saved BankJournal::writeBank(uint64_t& length, uint64_t& hash) {
    CharString temporary(bank::temporaryPrefix);
    temporary.appendNumber(static_cast<int32_t>(platform::processId()));
    temporary.append(".");
    temporary.appendNumber(static_cast<int32_t>(owner));
    temporary.append(bank::temporarySuffix);

    platform::FileReplacement replacement;
    switch (replacement.begin(bank::fileName, temporary.text())) {
        case platform::FileReplacement::Began::Ready:
            break;
        case platform::FileReplacement::Began::ReadOnly:
            streaks.fail(reporter, Streak::Skip, KADREL_BANK_FILE " is read-only; it was not saved");
            return Saved::Skipped;
        case platform::FileReplacement::Began::NotRegular:
            streaks.fail(reporter, Streak::Skip,
                         KADREL_BANK_FILE " is not a regular file; it is neither read nor saved over");
            return Saved::Skipped;
        case platform::FileReplacement::Began::Failed:
            return Saved::Failed;
    }
    BankHasher hasher;
    bool written = true;
    ledger.forEachRun([&](const CreditAccount* first, uint32_t count) {
        written = written && replacement.write(first, count * bank::recordSize);
        if (written) hasher.add(first, count * bank::recordSize);
    });
    if (!written) return Saved::Failed;
    length = static_cast<uint64_t>(ledger.size()) * bank::recordSize;
    hash = hasher.result();

    JournalHeader header{};
    uint64_t size = 0;
    const bool announce = locked && readJournalHeader(journal, header, size) && isSoundHeader(header);
    if (announce) {
        header.pendingLength = length;
        header.pendingHash = hash;
        if (!writeJournalHeader(journal, header)) return Saved::Failed;
    }
    if (!replacement.commit()) {
        if (announce) {
            header.pendingLength = 0;
            header.pendingHash = 0;
            writeJournalHeader(journal, header);
        }
        return Saved::Failed;
    }
    streaks.end(Streak::Skip);
    return Saved::Written;
}

// `foldsJournal`: the ledger is bank plus journal, so that a bot whose ledger
// holds the same journal may keep it instead of reloading.
BankJournal::Saved BankJournal::checkpointLocked(bool foldsJournal) {
    if (!synced) return Saved::Failed;
    // This bot's own changes go in first, so that the bank folds only what
    // every other bot can see.
    const bool allWritten = !locked || appender.append(journal, seen);
    // A bank damaged since it was read is set aside, not written over; this
    // ledger then takes its place.
    if (bankFileDamaged() && !setDamagedBankAside(reporter)) return Saved::Skipped;
    // Under the lock nobody is half-way through a checkpoint: every
    // temporary file there is a crash's leftover.
    if (locked) platform::removeFilesMatching(bank::temporaryPrefix, bank::temporarySuffix);
    uint64_t length = 0;
    uint64_t hash = 0;
    const Saved saved = writeBank(length, hash);
    if (saved != Saved::Written) return saved;
    appender.forget();
    // Should this fail, the announcement in the header still tells every
    // reader that the records are in the new bank.
    if (locked && !startAfresh(length, hash, foldsJournal && allWritten ? seen : 0)) synced = false;
    return saved;
}

void BankJournal::checkpoint(int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) platform::sleepMilliseconds(checkpointPause);
        attach();
        begin();
        Saved saved = Saved::Failed;
        try {
            saved = checkpointLocked(true);
        } catch (...) {
            end();
            throw;
        }
        end();
        if (saved == Saved::Written) streaks.end(Streak::Save);
        if (saved != Saved::Failed) return;
    }
    streaks.fail(reporter, Streak::Save,
                 journal.isOpen() && synced
                     ? KADREL_BANK_FILE " could not be saved; the changes stay in " KADREL_BANK_JOURNAL
                     : KADREL_BANK_FILE " could not be saved; changes are kept in memory until the next save");
}

bool BankJournal::rewrite(const std::function<void(Ledger&)>& edit) {
    attach();
    begin();
    Saved saved = Saved::Failed;
    try {
        if (synced) {
            edit(ledger);
            saved = checkpointLocked(false);
            // An edit that did not reach the bank is undone by a reload.
            if (saved != Saved::Written) synced = false;
        }
    } catch (...) {
        end();
        throw;
    }
    end();
    return saved == Saved::Written;
}

}  // namespace kadrel
