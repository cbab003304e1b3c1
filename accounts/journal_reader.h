// Reading Quorlen.bank.journal: reports what it finds (the header, each sound
// record of a whole transaction, how the records end) and never writes. The
// layout and what each field means to a reader are in accounts/README.md.
#pragma once

#include <cstdint>

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
        ReadFailed,  // the system would not give the bytes
    };
    Ending ending = Ending::Clean;
    uint64_t end = 0;  // just past the last whole transaction handed over
};

// Hands each record of the whole, sound transactions between the two offsets
// to the visitor, in order, and stops at the first record that is not sound.
JournalScan scanJournal(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t from, uint64_t to,
                        JournalVisitor& visitor);

}  // namespace kadrel
