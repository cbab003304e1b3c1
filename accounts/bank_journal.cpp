#include "accounts/bank_journal.h"

#include <cstring>

#include "host/bot_instance.h"

namespace kadrel {

namespace {

// The bank is read this many records at a time, straight into the ledger.
constexpr size_t loadRunRecords = 4096;
// The journal is taken in this many records at a time, without allocating.
constexpr size_t catchUpRecords = 128;
constexpr uint32_t checkpointPause = 200;  // milliseconds between attempts

// A record whose name has no terminator is kept with its name cut to 19
// characters, so that every loaded name ends inside its field.
void terminateNames(unsigned char* bytes, size_t size) {
    for (size_t offset = 0; offset < size; offset += bank::recordSize) bank::terminateName(bytes + offset);
}

void applyRecord(Ledger& ledger, const JournalRecord& record) {
    switch (static_cast<JournalKind>(record.kind)) {
        case JournalKind::Add:
            ledger.award(record.amount, record.name);
            break;
        case JournalKind::Subtract:
            ledger.deduct(record.amount, record.name);
            break;
        case JournalKind::Reset:
            ledger.clear();
            break;
    }
}

bool isFree(const char* name) {
    platform::FileReader probe;
    return probe.open(name) == platform::FileState::Missing;
}

// Moves a bank file that cannot be read aside, under a name not yet taken,
// and tells the host where it went. False when it stays in place.
bool setDamagedBankAside(const BotInstance& instance) {
    for (int32_t attempt = 0; attempt < bank::damagedNameAttempts; ++attempt) {
        const CharString target = bank::damagedName(bank::fileName, attempt);
        if (platform::renameNoReplace(bank::fileName, target.text())) {
            CharString message(bank::fileName);
            message.append(" is damaged; it was moved to ");
            message.append(target);
            instance.echo(message.text());
            return true;
        }
        if (isFree(target.text())) break;  // the name is free, so the rename itself failed
    }
    CharString message(bank::fileName);
    message.append(" is damaged and could not be moved aside; it is not saved over");
    instance.echo(message.text());
    return false;
}

uint64_t emptyBankHash() { return BankHasher().result(); }

}  // namespace

void BankJournal::report(BotInstance& bot, bool& streak, const char* message) {
    if (!streak) bot.echo(message);
    streak = true;
}

void BankJournal::openJournal(BotInstance& bot) {
    if (journal.isOpen()) return;
    switch (journal.open(bank::journalFileName)) {
        case platform::SharedFile::Opened::Ready:
            journalFailing = false;
            synced = false;  // the journal may hold changes this ledger lacks
            break;
        case platform::SharedFile::Opened::NotRegular:
            report(bot, journalFailing,
                   "Quorlen.bank.journal is not a regular file; changes are kept in memory until the next save");
            break;
        case platform::SharedFile::Opened::Failed:
            report(bot, journalFailing,
                   "Quorlen.bank.journal cannot be opened; changes are kept in memory until the next save");
            break;
    }
}

// Reads the bank into an empty ledger, a run of records at a time, and gives
// its length and hash. False when there is a bank that cannot be read: its
// balances must then be neither shown as if it were empty nor saved over.
bool BankJournal::readBank(BotInstance& bot, Ledger& ledger, uint64_t& length, uint64_t& hash) {
    length = 0;
    hash = emptyBankHash();
    bool damaged = false;
    {
        platform::FileReader reader;
        switch (reader.open(bank::fileName)) {
            case platform::FileState::Missing:
                return true;
            case platform::FileState::NotRegular:
                report(bot, bankFailing, "Quorlen.bank is not a regular file; it is neither read nor saved over");
                return false;
            case platform::FileState::Unreadable:
                report(bot, bankFailing, "Quorlen.bank cannot be read; it is not saved over until it can");
                return false;
            case platform::FileState::Regular:
                break;
        }
        damaged = reader.size() % bank::recordSize != 0;
        if (!damaged) {
            std::vector<unsigned char> run(reader.size() < loadRunRecords * bank::recordSize
                                               ? static_cast<size_t>(reader.size())
                                               : loadRunRecords * bank::recordSize);
            BankHasher hasher;
            for (uint64_t left = reader.size(); left != 0;) {
                const size_t piece = left < run.size() ? static_cast<size_t>(left) : run.size();
                if (!reader.read(run.data(), piece)) {
                    report(bot, bankFailing, "Quorlen.bank cannot be read; it is not saved over until it can");
                    return false;
                }
                hasher.add(run.data(), piece);
                terminateNames(run.data(), piece);
                ledger.appendUnindexed(run.data(), piece / bank::recordSize);
                left -= piece;
            }
            ledger.indexLoaded();
            length = reader.size();
            hash = hasher.result();
        }
    }
    if (damaged && !setDamagedBankAside(bot)) return false;
    return true;
}

bool BankJournal::readHeader(JournalHeader& header, uint64_t& size) {
    return journal.size(size) && size >= journalHeaderSize && journal.readAt(0, &header, sizeof header);
}

// The records are cut first and made durable, then the header is written: a
// crash between the two leaves the old header over no records, never a new
// header over records already folded. The old header stays so that the
// generations keep counting up: a journal left empty would start again at 1,
// and a bot of another process still at 1 would take the new records for
// ones it had already seen.
bool BankJournal::writeFreshHeader(uint64_t next, uint64_t bankLength, uint64_t bankHash, uint64_t foldedLength) {
    JournalHeader header{};
    std::memcpy(header.magic, journalMagic, sizeof journalMagic);
    header.generation = next;
    header.bankLength = bankLength;
    header.bankHash = bankHash;
    header.foldedGeneration = generation;
    header.foldedLength = foldedLength;
    uint64_t size = 0;
    const uint64_t kept = journal.size(size) && size >= journalHeaderSize ? journalHeaderSize : 0;
    if (!journal.truncate(kept) || !journal.flush() || !journal.writeAt(0, &header, sizeof header) ||
        !journal.flush()) {
        return false;
    }
    generation = next;
    seen = journalHeaderSize;
    return true;
}

// Copies the journal's bytes to a free .damaged name, so that nothing in it
// is destroyed; the caller then cuts or resets the journal.
void BankJournal::setJournalAside(BotInstance& bot, uint64_t size) {
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (!journal.readAt(0, bytes.data(), bytes.size())) bytes.clear();
    for (int32_t attempt = 0; attempt < bank::damagedNameAttempts; ++attempt) {
        const CharString target = bank::damagedName(bank::journalFileName, attempt);
        if (!isFree(target.text())) continue;
        if (!platform::replaceFile(target.text(), bytes.data(), bytes.size())) break;
        CharString message(bank::journalFileName);
        message.append(" is damaged; it was copied to ");
        message.append(target);
        bot.echo(message.text());
        return;
    }
    bot.echo("Quorlen.bank.journal is damaged and could not be copied aside");
}

// Applies the records between two offsets and moves `seen` past each one. A
// cut or unsound last record is what a crash mid-append leaves: it is cut off.
// An unsound record with more after it means damage: the journal is copied
// aside and cut before it.
bool BankJournal::applyRecords(BotInstance& bot, Ledger& ledger, uint64_t from, uint64_t to) {
    const uint64_t whole = from + (to - from) / journalRecordSize * journalRecordSize;
    JournalRecord records[catchUpRecords];
    for (uint64_t at = from; at < whole;) {
        const uint64_t left = (whole - at) / journalRecordSize;
        const size_t count = left < catchUpRecords ? static_cast<size_t>(left) : catchUpRecords;
        if (!journal.readAt(at, records, count * journalRecordSize)) return false;
        for (size_t i = 0; i < count; ++i) {
            const uint64_t offset = at + i * journalRecordSize;
            if (!isSoundRecord(records[i])) {
                if (offset + journalRecordSize != to) setJournalAside(bot, to);
                journal.truncate(offset);
                seen = offset;
                return true;
            }
            applyRecord(ledger, records[i]);
            seen = offset + journalRecordSize;
        }
        at += count * journalRecordSize;
    }
    if (to > whole) journal.truncate(whole);
    return true;
}

void BankJournal::applyUnwritten(Ledger& ledger) const {
    for (const JournalRecord& record : unwritten) applyRecord(ledger, record);
}

// The ledger built anew from bank and journal, with this bot's unwritten
// changes on top. Settles what a checkpoint that died part-way left: when the
// bank it announced is in place, the journal's records are in it already.
BankJournal::Sync BankJournal::reload(BotInstance& bot) {
    synced = false;
    bot.accounts.clear();
    uint64_t length = 0;
    uint64_t hash = 0;
    if (!readBank(bot, bot.accounts, length, hash)) {
        bot.accounts.clear();
        applyUnwritten(bot.accounts);
        return Sync::Failed;
    }
    bankFailing = false;
    if (journal.isOpen()) {
        JournalHeader header{};
        uint64_t size = 0;
        bool haveHeader = readHeader(header, size);
        if (haveHeader && !isSoundHeader(header)) {
            setJournalAside(bot, size);
            haveHeader = false;
        }
        const bool pending = haveHeader && header.pendingHash != 0;
        const bool folded = pending && header.pendingHash == hash && header.pendingLength == length;
        if (pending && !folded) {
            header.pendingHash = 0;
            header.pendingLength = 0;
            if (!journal.writeAt(0, &header, sizeof header)) haveHeader = false;
        }
        if (!haveHeader || folded || header.bankLength != length || header.bankHash != hash) {
            // Empty, or its records are in this bank already (or the bank was
            // replaced by other means, which then wins).
            generation = haveHeader ? header.generation : 0;
            if (!writeFreshHeader(generation + 1, length, hash, 0)) {
                report(bot, journalFailing,
                       "Quorlen.bank.journal cannot be written; changes are kept in memory until the next save");
                journal.close();
            }
        } else {
            generation = header.generation;
            seen = journalHeaderSize;
            if (!applyRecords(bot, bot.accounts, journalHeaderSize, size)) return Sync::Failed;
        }
    }
    applyUnwritten(bot.accounts);
    synced = true;
    return Sync::Ready;
}

BankJournal::Sync BankJournal::catchUp(BotInstance& bot) {
    if (!attached) return Sync::Ready;
    if (!journal.isOpen()) return synced ? Sync::Ready : reload(bot);
    if (!synced) return reload(bot);
    JournalHeader header{};
    uint64_t size = 0;
    if (!readHeader(header, size) || !isSoundHeader(header) || header.pendingHash != 0) return reload(bot);
    if (header.generation != generation) {
        // A checkpoint that folded exactly what this ledger holds needs no
        // reload: the new bank is this ledger without its unwritten changes.
        if (header.foldedGeneration != generation || header.foldedLength != seen || header.foldedLength == 0) {
            return reload(bot);
        }
        generation = header.generation;
        seen = journalHeaderSize;
    }
    if (size < seen) return reload(bot);
    if (size == seen) return Sync::Ready;
    synced = false;  // until every new record is in
    if (!applyRecords(bot, bot.accounts, seen, size)) return reload(bot);
    synced = true;
    return Sync::Ready;
}

void BankJournal::load(BotInstance& bot) {
    attached = true;
    openJournal(bot);
    synced = false;
    begin(bot);
    end(bot);
}

void BankJournal::begin(BotInstance& bot) {
    if (depth > 0) {
        ++depth;
        return;
    }
    locked = journal.isOpen() && journal.lock();
    depth = 1;
    try {
        catchUp(bot);
    } catch (...) {
        // A load cut short leaves no half-built ledger behind; the next
        // change reloads.
        synced = false;
        bot.accounts.clear();
        end(bot);
        throw;
    }
}

void BankJournal::end(BotInstance& bot) noexcept {
    if (depth == 0 || --depth > 0) return;
    if (!locked) return;
    if (synced && !unwritten.empty()) {
        if (writeUnwritten()) {
            writeFailing = false;
        } else {
            report(bot, writeFailing,
                   "Quorlen.bank.journal could not be written; changes are kept in memory until the next save");
        }
    }
    journal.unlock();
    locked = false;
}

// Appends every unwritten record in one write at the journal's end, which
// under the lock is `seen`. A write that fails part-way is cut back, so that
// no record is ever both in the journal and still unwritten.
bool BankJournal::writeUnwritten() {
    if (unwritten.empty()) return true;
    const size_t bytes = unwritten.size() * journalRecordSize;
    if (!journal.writeAt(seen, unwritten.data(), bytes)) {
        journal.truncate(seen);
        return false;
    }
    seen += bytes;
    unwritten.clear();
    durable = false;
    return true;
}

void BankJournal::reserve(size_t records) {
    const size_t wanted = unwritten.size() + records;
    if (wanted > unwritten.capacity()) unwritten.reserve(wanted > 2 * unwritten.capacity() ? wanted : 2 * unwritten.capacity());
}

void BankJournal::note(const JournalRecord& record) noexcept { unwritten.push_back(record); }

void BankJournal::makeDurable(BotInstance& bot) {
    if (durable || !journal.isOpen()) return;
    if (journal.flush()) {
        durable = true;
    } else {
        report(bot, writeFailing,
               "Quorlen.bank.journal could not be written; changes are kept in memory until the next save");
    }
}

// Writes the ledger to a temporary file of this process and bot, announces
// it in the journal's header, renames it over the bank and starts the journal
// afresh. A crash at any point leaves bank and journal that load to the same
// balances: before the rename the old bank with every record, after it the
// new bank, whose announcement tells that the records are in it.
BankJournal::Saved BankJournal::writeBank(BotInstance& bot, uint64_t& length, uint64_t& hash) {
    CharString temporary(bank::fileName);
    temporary.append(".");
    temporary.appendNumber(static_cast<int32_t>(platform::processId()));
    temporary.append(".");
    temporary.appendNumber(static_cast<int32_t>(bot.handle));
    temporary.append(".tmp");

    platform::FileReplacement replacement;
    switch (replacement.begin(bank::fileName, temporary.text())) {
        case platform::FileReplacement::Began::Ready:
            break;
        case platform::FileReplacement::Began::ReadOnly:
            report(bot, skipReported, "Quorlen.bank is read-only; it was not saved");
            return Saved::Skipped;
        case platform::FileReplacement::Began::NotRegular:
            report(bot, skipReported, "Quorlen.bank is not a regular file; it is neither read nor saved over");
            return Saved::Skipped;
        case platform::FileReplacement::Began::Failed:
            return Saved::Failed;
    }
    BankHasher hasher;
    bool written = true;
    bot.accounts.forEachRun([&](const CreditAccount* first, uint32_t count) {
        written = written && replacement.write(first, count * bank::recordSize);
        if (written) hasher.add(first, count * bank::recordSize);
    });
    if (!written) return Saved::Failed;
    length = static_cast<uint64_t>(bot.accounts.size()) * bank::recordSize;
    hash = hasher.result();

    JournalHeader header{};
    uint64_t size = 0;
    const bool announce = locked && readHeader(header, size) && isSoundHeader(header);
    if (announce) {
        header.pendingLength = length;
        header.pendingHash = hash;
        if (!journal.writeAt(0, &header, sizeof header)) return Saved::Failed;
    }
    if (!replacement.commit()) {
        if (announce) {
            header.pendingLength = 0;
            header.pendingHash = 0;
            journal.writeAt(0, &header, sizeof header);
        }
        return Saved::Failed;
    }
    skipReported = false;
    return Saved::Written;
}

// `foldsJournal`: the ledger is bank plus journal, so that a bot whose ledger
// holds the same journal may keep it instead of reloading.
BankJournal::Saved BankJournal::checkpointLocked(BotInstance& bot, bool foldsJournal) {
    if (!synced) return Saved::Failed;
    // This bot's own changes go in first, so that the bank folds only what
    // every other bot can see.
    const bool allWritten = !locked || writeUnwritten();
    // A bank damaged since it was read is set aside, not written over; this
    // ledger then takes its place.
    bool damaged = false;
    {
        platform::FileReader probe;
        damaged = probe.open(bank::fileName) == platform::FileState::Regular && probe.size() % bank::recordSize != 0;
    }
    if (damaged && !setDamagedBankAside(bot)) return Saved::Skipped;
    // Under the lock nobody is half-way through a checkpoint: every
    // temporary file there is a crash's leftover.
    if (locked) platform::removeFilesMatching("Quorlen.bank.", ".tmp");
    uint64_t length = 0;
    uint64_t hash = 0;
    const Saved saved = writeBank(bot, length, hash);
    if (saved != Saved::Written) return saved;
    // Everything is in the bank now; a long streak of unwritten changes
    // gives its memory back.
    if (unwritten.capacity() > catchUpRecords) {
        std::vector<JournalRecord>().swap(unwritten);
    } else {
        unwritten.clear();
    }
    // Should this fail, the announcement in the header still tells every
    // reader that the records are in the new bank.
    if (locked && !writeFreshHeader(generation + 1, length, hash, foldsJournal && allWritten ? seen : 0)) {
        synced = false;
    }
    return saved;
}

void BankJournal::checkpoint(BotInstance& bot, int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) platform::sleepMilliseconds(checkpointPause);
        attached = true;
        openJournal(bot);
        begin(bot);
        Saved saved = Saved::Failed;
        try {
            saved = checkpointLocked(bot, true);
        } catch (...) {
            end(bot);
            throw;
        }
        end(bot);
        if (saved == Saved::Written) saveFailing = false;
        if (saved != Saved::Failed) return;
    }
    report(bot, saveFailing,
           journal.isOpen() && synced
               ? "Quorlen.bank could not be saved; the changes stay in Quorlen.bank.journal"
                            : "Quorlen.bank could not be saved; changes are kept in memory until the next save");
}

bool BankJournal::rewrite(BotInstance& bot, const std::function<void(Ledger&)>& edit) {
    attached = true;
    openJournal(bot);
    begin(bot);
    Saved saved = Saved::Failed;
    try {
        if (synced) {
            edit(bot.accounts);
            saved = checkpointLocked(bot, false);
            // An edit that did not reach the bank is undone by a reload.
            if (saved != Saved::Written) synced = false;
        }
    } catch (...) {
        end(bot);
        throw;
    }
    end(bot);
    return saved == Saved::Written;
}

}  // namespace kadrel
