// Reading Quorlen.bank.journal: reports what it finds (the header, each sound
// record of a whole transaction, how the records end) and never writes. The
// layout and what each field means to a reader are in accounts/README.md.
#pragma once

#include <cstdint>
#include <span>

#include "accounts/journal_format.h"
#include "platform/platform.h"

namespace kadrel {

// The header, where the journal is long enough to hold the shortest one (the
// rest of the struct then zero); `size` is the journal's whole length. False
// when it cannot be read or is too short.
bool readJournalHeader(const platform::SharedFile& journal, JournalHeader& header, uint64_t& size);

class JournalVisitor {
public:
    virtual void record(const JournalRecord& record) = 0;

protected:
    ~JournalVisitor() = default;
};

struct JournalScan {
    enum class Ending {
        Clean,       // every byte up to the end was a sound record of a whole transaction
        TornTail,    // a record or transaction cut short, or unsound, at the very end: what a crash mid-append leaves
        Damaged,     // an unsound record with more after it
        Newer,       // a sound record of a kind this build cannot apply: a newer build wrote it
        ReadFailed,  // the system would not give the bytes
    };
    Ending ending = Ending::Clean;
    uint64_t end = 0;        // just past the last whole transaction handed over
    uint64_t damagedAt = 0;  // where the damage, or the newer record, starts
};

// Decodes a record of the layout into the current one; false when it is not
// sound.
bool decodeRecord(const JournalLayout& layout, const unsigned char* bytes, JournalRecord& record);

// Hands each record of the whole, sound transactions between the two offsets
// to the visitor, in order, and stops at the first record that is not sound
// or that this build cannot apply.
JournalScan scanJournal(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t from, uint64_t to,
                        JournalVisitor& visitor);
// The same over a whole journal's bytes, from its first record.
JournalScan scanJournalBytes(std::span<const unsigned char> journal, const JournalLayout& layout,
                             JournalVisitor& visitor);

// What the journal's records are to the bank on disk (accounts/README.md,
// "What a crash leaves, and what the next load does"); the bank is taken
// for the empty one when it is missing.
enum class JournalFate {
    Apply,        // the header names this bank: the records apply to it
    Folded,       // the bank a checkpoint announced is in place and holds them
    Adopt,        // a bank put there by other means: they apply on top of it
    BankMissing,  // the bank they apply to is gone: no balance can be had
};
JournalFate journalFate(const JournalHeader& header, uint64_t bankLength, uint64_t bankHash, bool bankMissing);

}  // namespace kadrel
