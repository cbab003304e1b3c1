// What a load settles between the bank and the journal, in the bot's link to
// them (bank_journal.h): a damaged bank set aside, a bank adopted, a journal
// started afresh; and the appends of a bot whose ledger is not in step. The
// cases are told in accounts/README.md.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "accounts/bank_file.h"
#include "accounts/bank_format.h"
#include "accounts/bank_journal.h"
#include "accounts/history_file.h"
#include "accounts/journal_reader.h"
#include "accounts/ledger.h"

namespace kadrel {

namespace {

// Passes over records, counting those that take no number and keeping the
// folder's standing in a shared economy.
class StandingReader final : public JournalVisitor {
public:
    StandingReader(JournalPosition& position, SharedEconomy& standing) : position(position), standing(standing) {}
    void record(const JournalRecord& record) override {
        position.count(record);
        standing.take(record);
    }

private:
    JournalPosition& position;
    SharedEconomy& standing;
};

// A journal started without a header to go on counts its generations from a
// number nobody has seen, so that a bot that knew the file before it was
// emptied or replaced never takes the new one for the old.
uint64_t freshGeneration(const void* salt) {
    uint64_t mixed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) ^
                     (static_cast<uint64_t>(platform::processId()) << 32) ^ reinterpret_cast<uintptr_t>(salt);
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ull;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBull;
    return mixed ^ (mixed >> 31);
}

}  // namespace

// A journal started without a header to go on numbers its records on from
// the history's. Without the history's last number it is not started at
// all: nothing is shown or spent until the newest month can be read.
bool BankJournal::sequenceAfterHistory(uint64_t& next) {
    uint64_t last = 0;
    if (!lastHistorySequence(last)) {
        streaks.fail(reporter, Streak::History,
                     "the newest month of " KADREL_BANK_HISTORY
                     " cannot be read; balances are not shown or spent until it can");
        return false;
    }
    streaks.end(Streak::History);
    next = last + 1;
    return true;
}

// False when there is a bank that cannot be read: its balances must then be
// neither shown as if it were empty nor saved over. A damaged one is set
// aside and counts as missing.
bool BankJournal::readBank(uint64_t& length, uint64_t& hash, bool& missing) {
    const BankRead read = readBankFile(bank::fileName, ledger);
    length = read.length;
    hash = read.hash;
    missing = read.outcome == BankRead::Outcome::Missing;
    switch (read.outcome) {
        case BankRead::Outcome::Loaded:
        case BankRead::Outcome::Missing:
            return true;
        case BankRead::Outcome::Damaged:
            // One that cannot be moved aside is neither read nor written over.
            missing = true;
            return setBankAside();
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

// The journal goes aside with the bank under the same name, so that the two
// can be mended together; its records also stay in the journal in use.
bool BankJournal::setBankAside() {
    CharString target;
    if (!setDamagedBankAside(reporter, target)) return false;
    CharString message(KADREL_BANK_FILE " is damaged; it was moved to ");
    message.append(target);
    target.append(".journal");
    if (copyJournalTo(journal, target.text())) {
        message.append(" and its journal copied to ");
        message.append(target);
    }
    reporter.report(message.text());
    return true;
}

bool BankJournal::startAfresh(uint64_t length, uint64_t hash, uint64_t foldedLength, uint64_t firstSequence) {
    JournalHeader header{};
    std::memcpy(header.magic, journalMagic, sizeof journalMagic);
    header.generation = generation + 1;
    header.bankLength = length;
    header.bankHash = hash;
    header.foldedGeneration = generation;
    header.foldedLength = foldedLength;
    header.firstSequence = firstSequence;
    const std::vector<JournalRecord> carried = standing.standing(platform::nowSeconds());
    if (!startJournalAfresh(journal, header, position.layout, carried)) return false;
    generation = header.generation;
    position = {currentLayout, firstSequence, carried.size()};
    seen = currentLayout.headerSize + carried.size() * sizeof(JournalRecord);
    standing = sharedEconomyOf(carried);
    knowsJournal = true;
    return true;
}

// The sequence number the next record appended at `end` takes.
uint64_t BankJournal::sequenceAt(uint64_t end) const { return position.sequenceAt(end); }

void BankJournal::takePosition(const JournalHeader& header, const JournalLayout& layout) {
    // An earlier layout numbered nothing: its records count from 1.
    position = {layout, layout.isCurrent() && header.firstSequence != 0 ? header.firstSequence : 1, 0};
    standing.clear();
}

// A bank put in place by anybody but the bots is taken as it is, with every
// record of the journal on top: none of them can be in it, since a checkpoint
// announces its bank before it renames it. The header then names it, in a
// generation of its own so that every other bot reads it too.
bool BankJournal::adoptBank(JournalHeader& header, uint64_t size, uint64_t length, uint64_t hash) {
    generation = header.generation;
    seen = position.layout.headerSize;
    if (!applyJournal(seen, size)) return false;
    header.foldedGeneration = header.generation;
    header.foldedLength = 0;
    header.generation = generation + 1;
    header.bankLength = length;
    header.bankHash = hash;
    if (!writeJournalHeader(journal, header, position.layout) || !journal.flush()) return false;
    generation = header.generation;
    reporter.report(KADREL_BANK_FILE
                    " was replaced by another program; its balances are taken, with the changes in " KADREL_BANK_JOURNAL
                    " on top");
    return true;
}

// Settles the journal against the bank just read (accounts/README.md, "What
// a crash leaves, and what the next load does"): its records are applied to the bank they belong to, or to a
// bank put in their bank's place; they are dropped only when the bank holds
// them. False when the balances cannot be had.
bool BankJournal::recoverJournal(uint64_t length, uint64_t hash, bool bankMissing) {
    JournalHeader header{};
    uint64_t size = 0;
    JournalLayout layout;
    bool haveHeader = readJournalHeader(journal, header, size);
    if (haveHeader && isNewerJournal(header)) {
        CharString message(KADREL_BANK_JOURNAL " is of version ");
        message.append(CharString(header.magic + 7, 1));
        message.append(", newer than this build's 2: a newer build shares the folder, and balances are not shown or "
                       "spent until this bot runs it too");
        streaks.fail(reporter, Streak::Newer, message.text());
        return false;
    }
    if (haveHeader && !soundLayout(header, size, layout)) {
        copyJournalAside(journal, size, reporter);
        haveHeader = false;
    }
    if (!haveHeader) {
        if (knowsJournal && journal.size(size) && size < oldLayout.headerSize) {
            reporter.report(KADREL_BANK_JOURNAL
                            " was emptied by another program; it starts afresh from " KADREL_BANK_FILE);
        }
        uint64_t next = 0;
        if (!sequenceAfterHistory(next)) return false;
        generation = freshGeneration(this);
        return startAfresh(length, hash, 0, next);
    }
    knowsJournal = true;
    takePosition(header, layout);
    const JournalFate fate = journalFate(header, length, hash, bankMissing);
    if (fate == JournalFate::Folded) {
        generation = header.generation;
        // The records are in the bank, but for the folder's standing in a
        // shared economy, which the fresh journal carries on.
        StandingReader reader(position, standing);
        const JournalScan scan = scanJournal(journal, layout, layout.headerSize, size, reader);
        if (scan.ending == JournalScan::Ending::ReadFailed) return false;
        // A crash after the records were cut leaves a header over none: the
        // numbers go on from the history, which took them first.
        uint64_t next = 0;
        return sequenceAfterHistory(next) && startAfresh(length, hash, 0, std::max(sequenceAt(scan.end), next));
    }
    if (header.pendingHash != 0 && !withdrawAnnouncement(journal, header, layout)) return false;
    switch (fate) {
        case JournalFate::Apply:
            generation = header.generation;
            seen = layout.headerSize;
            return applyJournal(seen, size);
        case JournalFate::BankMissing:
            streaks.fail(reporter, Streak::Missing,
                         KADREL_BANK_FILE
                         " is missing; balances are not shown or spent until it is back or a bot that "
                         "holds them saves it again");
            return false;
        case JournalFate::Adopt:
        case JournalFate::Folded:
            break;
    }
    return adoptBank(header, size, length, hash);
}

// Where the ledger is not in step with the journal, this bot's changes still
// go to the journal's end, past its last sound record, for whatever bank the
// journal turns out to belong to; never under an announcement, whose bank
// would take them for folded.
bool BankJournal::appendUnsynced() {
    JournalHeader header{};
    uint64_t size = 0;
    JournalLayout layout;
    if (!readJournalHeader(journal, header, size)) {
        // A journal new or emptied names the empty bank: whatever bank turns
        // up takes its records on top.
        uint64_t next = 0;
        if (!journal.size(size) || size >= oldLayout.headerSize || !sequenceAfterHistory(next)) return false;
        generation = freshGeneration(this);
        if (!startAfresh(0, BankHasher().result(), 0, next)) return false;
        return appender.append(journal, seen, position);
    }
    if (!soundLayout(header, size, layout) || header.pendingHash != 0) return false;
    JournalPosition at;
    at.layout = layout;
    at.firstSequence = layout.isCurrent() && header.firstSequence != 0 ? header.firstSequence : 1;
    SharedEconomy unused;
    StandingReader reader(at, unused);
    const JournalScan scan = scanJournal(journal, layout, layout.headerSize, size, reader);
    if (scan.ending == JournalScan::Ending::Damaged || scan.ending == JournalScan::Ending::ReadFailed ||
        scan.ending == JournalScan::Ending::Newer) {
        return false;
    }
    uint64_t end = scan.end;
    return appender.append(journal, end, at);
}

}  // namespace kadrel
