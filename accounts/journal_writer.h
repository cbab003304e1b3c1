// Writing Quorlen.bank.journal: appending a bot's changes, cutting a torn or
// damaged tail, starting the journal afresh after a checkpoint and copying a
// damaged one aside. The layout is in accounts/README.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "accounts/bank_reporter.h"
#include "accounts/journal_format.h"
#include "accounts/shared_economy.h"
#include "platform/platform.h"

namespace kadrel {

class Ledger;

void applyJournalRecord(Ledger& ledger, const JournalRecord& record);

// Where an append lands: the journal's layout, the sequence number of its
// first record, and how many records up to the reader's place take no number.
struct JournalPosition {
    JournalLayout layout = currentLayout;
    uint64_t firstSequence = 1;
    uint64_t unnumbered = 0;

    // The sequence number the next record appended at `end` takes; `end` is
    // the place up to which `unnumbered` counts.
    uint64_t sequenceAt(uint64_t end) const;
    void count(const JournalRecord& record) {
        if (!takesNumber(record)) ++unnumbered;
    }
};

// A bot's changes on their way into the journal: noted as they are made,
// appended under the lock in one write, made durable at the next tick.
class JournalAppender {
public:
    // Room for `records` more notes, taken before the ledger changes so that
    // noting cannot fail once it has.
    void reserve(size_t records);
    void note(const JournalRecord& record) noexcept { unwritten.push_back(record); }
    // The notes from `mark` on are one transaction: they count together or
    // not at all.
    void endTransaction(size_t mark) noexcept;
    bool pending() const { return !unwritten.empty(); }
    size_t size() const { return unwritten.size(); }
    // Forgets the notes from `mark` on: a change refused after all.
    void dropFrom(size_t mark) { unwritten.resize(mark < unwritten.size() ? mark : unwritten.size()); }
    void applyTo(Ledger& ledger) const;

    // Appends every noted record at `end`, the journal's end under the lock,
    // numbered on from the records before it, and moves `end` past them. A
    // write that fails part-way is cut back, so that no record is ever both in
    // the journal and still noted.
    // `standing`, where given, takes in each record appended.
    bool append(platform::SharedFile& journal, uint64_t& end, JournalPosition& position,
                SharedEconomy* standing = nullptr);
    // Brings what was appended since the last call to the disk.
    bool makeDurable(platform::SharedFile& journal);
    // The noted records are in a bank now; a long streak gives its memory back.
    void forget();

private:
    std::vector<JournalRecord> unwritten;
    bool durable = true;
};

bool writeJournalHeader(platform::SharedFile& journal, const JournalHeader& header, const JournalLayout& layout);

// Clears the header's announcement of a new bank that is not in place.
bool withdrawAnnouncement(platform::SharedFile& journal, JournalHeader& header, const JournalLayout& layout);

// Cuts the records and makes that durable, then writes the header: a crash in
// between leaves the old header over no records, never a new header over
// records already folded. The old header, of the `old` layout, stays until
// then so that the generations keep counting up. The new one is of the
// current layout.
// The `carried` records are the fresh journal's first: they are on the disk
// before the new header, so that a crash between leaves them under the old
// one, whose announced bank is in place, and the next load carries them on.
bool startJournalAfresh(platform::SharedFile& journal, const JournalHeader& header, const JournalLayout& old,
                        std::span<const JournalRecord> carried = {});

// Copies the journal's first `size` bytes to a free .damaged name and says
// where they went.
void copyJournalAside(const platform::SharedFile& journal, uint64_t size, BankReporter& reporter);

// Copies the whole journal to `path`, a name that must be free.
bool copyJournalTo(const platform::SharedFile& journal, const char* path);

}  // namespace kadrel
