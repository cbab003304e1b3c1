// Reading Quorlen.bank into a ledger, and setting a damaged one aside. The
// file's layout is in accounts/bank_format.h and accounts/README.md.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "accounts/bank_reporter.h"
#include "core/char_string.h"

namespace kadrel {

class Ledger;

struct BankRead {
    enum class Outcome {
        Loaded,
        Missing,     // nothing at the path: no records
        Damaged,     // not a whole number of records: nothing loaded
        NotRegular,  // a directory, FIFO or device: never read
        Unreadable,
    };
    Outcome outcome = Outcome::Loaded;
    uint64_t length = 0;  // of the bank loaded, 0 for none
    uint64_t hash = 0;    // BankHasher's, of the same bytes
};

// Reads the bank at `path` into an empty ledger, a run of records at a time.
// A name without its terminator is cut to 19 characters, as a record stores
// it; the indices of such records go to `cutNames` when it is given.
BankRead readBankFile(const char* path, Ledger& ledger, std::vector<uint32_t>* cutNames = nullptr);

// Puts a damaged file's bytes at PATH.damaged, or PATH.damaged.1, ... when
// that is taken: `place` is tried on each name in turn, and the first name
// it succeeds on is given back. Empty when none is, or when `place` failed
// on a name that is free, which the next names would not mend.
CharString placeAtDamagedName(const char* path, const std::function<bool(const char* name)>& place);

// Moves a damaged bank to the first free .damaged name, which goes to
// `target`; false, and said so, when it stays in place.
bool setDamagedBankAside(BankReporter& reporter, CharString& target);

// Whether nothing at all lies at the path.
bool pathIsFree(const char* path);

}  // namespace kadrel
