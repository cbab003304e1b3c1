// The checkpoint: the ledger written as the new Quorlen.bank and the journal
// started afresh, in the order that accounts/README.md ("How the files
// change", Checkpoint) shows safe at every step. The new bank is written
// and flushed without the lock; under it come only the announcement, the
// rename and the fresh journal, so that the other bots wait for those alone.
#include <algorithm>

#include "accounts/bank_file.h"
#include "accounts/bank_format.h"
#include "accounts/bank_journal.h"
#include "accounts/history_file.h"
#include "accounts/journal_reader.h"
#include "accounts/ledger.h"

namespace kadrel {

namespace {

constexpr uint32_t checkpointPause = 200;  // milliseconds between attempts
// Writes of the new bank outside the lock that may be spoilt by another
// bot's change before one is written under it.
constexpr int unlockedTries = 2;

}  // namespace

// Writes the ledger to a temporary file of this process and bot and brings
// it to the disk.
BankJournal::Saved BankJournal::prepareBank(platform::FileReplacement& replacement, uint64_t& length, uint64_t& hash) {
    CharString temporary(bank::temporaryPrefix);
    temporary.appendNumber(static_cast<int32_t>(platform::processId()));
    temporary.append(".");
    temporary.appendNumber(static_cast<int32_t>(owner));
    temporary.append(bank::temporarySuffix);

    // What a crash left behind; a file that another bot is writing is locked
    // and stays.
    platform::removeFilesMatching(bank::temporaryPrefix, bank::temporarySuffix);
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
    if (!written || !replacement.flush()) return Saved::Failed;
    length = static_cast<uint64_t>(ledger.size()) * bank::recordSize;
    hash = hasher.result();
    return Saved::Written;
}

// Under the lock: announces the new bank in the journal's header and renames
// it over the bank, unless somebody else has put a file there since this bot
// read it. `next` is then the number the fresh journal starts from: past
// both the journal's records and the history's.
bool BankJournal::installBank(platform::FileReplacement& replacement, uint64_t length, uint64_t hash,
                              uint64_t& next) {
    JournalHeader header{};
    uint64_t size = 0;
    // A bank removed meanwhile is simply written again: this ledger holds it.
    const platform::FileStamp now = platform::stampOf(bank::fileName);
    if (now != bankStamp && now.state != platform::FileState::Missing) return false;
    JournalLayout layout;
    if (!readJournalHeader(journal, header, size) || !soundLayout(header, size, layout)) return false;
    // The records leave the journal only once the history holds them; a
    // history that cannot be written fails the save, which says so.
    uint64_t filed = 0;
    CharString damaged;
    const bool appended = appendToHistory(journal, layout, seen, filed, damaged);
    if (damaged.empty()) {
        streaks.end(Streak::DamagedHistory);
    } else {
        damaged.append(appended ? " is damaged: a record that cannot be read is kept, and the changes are filed after it"
                                : " is damaged: it is not a history file; the changes stay in " KADREL_BANK_JOURNAL
                                  " until it is moved away");
        streaks.fail(reporter, Streak::DamagedHistory, damaged.text());
    }
    if (!appended) return false;
    next = std::max(sequenceAt(seen), filed + 1);
    header.pendingLength = length;
    header.pendingHash = hash;
    // The announcement is on the disk before the rename: a bank found in
    // place without one is taken for a copy, with the records on top.
    if (!writeJournalHeader(journal, header, layout) || !journal.flush()) return false;
    if (!replacement.commit()) {
        withdrawAnnouncement(journal, header, layout);
        return false;
    }
    bankStamp = platform::stampOf(bank::fileName);
    streaks.end(Streak::Skip);
    streaks.end(Streak::Missing);
    return true;
}

// `foldsJournal`: the ledger is bank plus journal, so that a bot whose ledger
// holds the same journal may keep it instead of reloading.
BankJournal::Saved BankJournal::checkpointLocked(bool foldsJournal) {
    if (!locked || !synced) return Saved::Failed;
    // This bot's own changes go in first, so that the bank folds only what
    // every other bot can see.
    const bool allWritten = appender.append(journal, seen, position, &standing);
    platform::FileReplacement replacement;
    uint64_t length = 0;
    uint64_t hash = 0;
    const Saved saved = prepareBank(replacement, length, hash);
    if (saved != Saved::Written) return saved;
    uint64_t next = 0;
    if (!installBank(replacement, length, hash, next)) return Saved::Failed;
    appender.forget();
    // Should this fail, the announcement in the header still tells every
    // reader that the records are in the new bank.
    if (!startAfresh(length, hash, foldsJournal && allWritten ? seen : 0, next)) synced = false;
    return saved;
}

// The new bank is written from the ledger as it stood at one place in the
// journal; it is put in place only when nobody has changed anything since.
BankJournal::Saved BankJournal::checkpointUnlocked() {
    bool taken = false;
    uint64_t takenGeneration = 0;
    uint64_t takenSeen = 0;
    {
        const Hold hold(*this);
        taken = locked && synced && appender.append(journal, seen, position, &standing);
        takenGeneration = generation;
        takenSeen = seen;
    }
    if (!taken) return Saved::Failed;
    platform::FileReplacement replacement;
    uint64_t length = 0;
    uint64_t hash = 0;
    const Saved prepared = prepareBank(replacement, length, hash);
    if (prepared != Saved::Written) return prepared;
    const Hold hold(*this);
    uint64_t next = 0;
    if (!locked || !synced || generation != takenGeneration || seen != takenSeen || appender.pending() ||
        !installBank(replacement, length, hash, next)) {
        return Saved::Failed;
    }
    appender.forget();
    if (!startAfresh(length, hash, seen, next)) synced = false;
    return Saved::Written;
}

void BankJournal::checkpoint(int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) platform::sleepMilliseconds(checkpointPause);
        attach();
        Saved saved = Saved::Failed;
        for (int tries = 0; tries < unlockedTries && saved == Saved::Failed; ++tries) saved = checkpointUnlocked();
        // Other bots kept changing the journal meanwhile: this time they wait.
        if (saved == Saved::Failed) {
            const Hold hold(*this);
            saved = checkpointLocked(true);
        }
        if (saved == Saved::Written) streaks.end(Streak::Save);
        if (saved != Saved::Failed) return;
    }
    const char* const inJournal = KADREL_BANK_FILE " could not be saved; the changes stay in " KADREL_BANK_JOURNAL;
    const char* const inMemory = KADREL_BANK_FILE " could not be saved; changes are kept in memory until the next save";
    streaks.fail(reporter, Streak::Save, appender.pending() ? inMemory : inJournal);
}

bool BankJournal::rewrite(const std::function<bool(Ledger&)>& edit) {
    attach();
    const Hold hold(*this);
    if (!synced) return false;
    if (!edit(ledger)) {
        reload();
        return false;
    }
    const Saved saved = checkpointLocked(false);
    // An edit that did not reach the bank is undone by a reload.
    if (saved != Saved::Written) synced = false;
    return saved == Saved::Written;
}

}  // namespace kadrel
