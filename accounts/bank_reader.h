// The bank's read side: the bank, its journal and its history as one state
// of the files, for whoever only reads them (the kadrel program's listings,
// plans and report). It opens every file read-only, takes no lock, and never
// writes, moves, cuts or repairs anything: what it finds wrong it reports,
// and the caller decides. The files are described in accounts/README.md.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "accounts/journal_format.h"
#include "accounts/journal_reader.h"
#include "core/char_string.h"

namespace kadrel {

class Ledger;

// Something a reader could not take in, and what it passed over because of it.
struct ReadProblem {
    enum class Kind {
        Unreadable,      // the system would not give the bytes, or the file is no regular one
        DamagedBank,     // a length that is not a whole number of records: no account is read
        BankMissing,     // the journal names a bank that is not there: no balance can be had
        DamagedHeader,   // a journal or history file of neither known magic: none of its records is read
        NewerVersion,    // a journal, or a record in it, that a newer build wrote: no balance can be had
        DamagedRecords,  // records that are not sound, with sound ones after them
        Unsettled,       // bots kept checkpointing while it read: every try saw another state
    };
    Kind kind = Kind::Unreadable;
    CharString file;
    uint64_t offset = 0;   // of the first byte passed over
    uint64_t skipped = 0;  // changes passed over: the unsound ones and the rest of their transactions
    uint64_t records = 0;  // how many the file holds, where it holds records
    uint32_t version = 0;  // of a newer journal; 0 for a record of a newer kind
};

using ReadProblems = std::vector<ReadProblem>;

// The journal as one generation of it: its header and the records of its
// whole, sound transactions.
struct JournalSnapshot {
    bool found = false;  // false: no journal, or one too short for a header
    JournalHeader header{};
    JournalLayout layout = currentLayout;
    std::vector<JournalRecord> records;
};

// Bank plus journal as the bots hold them at one moment, though bots append
// and checkpoint meanwhile: the journal's header is read before and after
// and the bank's stamp around it all, and on any change the read starts
// again, up to `attempts` times.
struct BankSnapshot {
    bool bankFound = false;
    JournalSnapshot journal;
    ReadProblems problems;
    // Whether the balances can be shown: no problem that leaves them unknown.
    bool balancesKnown() const;
};

BankSnapshot readBankSnapshot(Ledger& ledger, int attempts = 50);

// The journal alone as one generation of it, tried as often.
JournalSnapshot readJournalSnapshot(ReadProblems& problems, int attempts = 50);

// A record's transaction, whole, as the history or the journal holds it.
class TransactionVisitor {
public:
    virtual void transaction(std::span<const JournalRecord> records) = 0;

protected:
    ~TransactionVisitor() = default;
};

// What a walk found besides the transactions.
struct WalkEnd {
    ReadProblems problems;
    uint64_t lastFiled = 0;  // the number of the history's last record, and its time
    int64_t lastFiledTime = 0;
    uint64_t lastRead = 0;  // of the last record handed over, history or journal
    // The number the journal's first record carries (0 for none), as it was
    // read: a caller that has read up to a number can tell whether the
    // journal still holds what came after it.
    uint64_t journalFirstSequence = 0;
};

// Hands over every whole transaction of the history's months, oldest first,
// then those of the journal that the history does not hold, under the
// numbers a checkpoint files them with (history_filing.h), each once and in
// the order of their numbers. A record that is not sound is passed over with
// the rest of its transaction, counted in a problem of its file. Records
// numbered up to `after` are passed over; with `journalOnly` no history
// transaction is handed over, and the history is read only where the journal
// reaches back to `after`: the newest month, and all of it should the
// journal reach into the history.
WalkEnd walkTransactions(TransactionVisitor& visitor, uint64_t after = 0, bool journalOnly = false);

// Every sound record of the history, oldest month first, record by record;
// what it passed over is in the problems.
ReadProblems readHistory(JournalVisitor& visitor);

}  // namespace kadrel
