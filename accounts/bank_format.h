// The bank file's layout: the plug-in writes and loads the file by it, and
// the kadrel program reads, edits and repairs it. accounts/README.md tells
// what each byte means and what a crash can leave.
#pragma once

#include <cstddef>
#include <cstdint>

#include "accounts/credit_account.h"
#include "core/char_string.h"

namespace kadrel::bank {

// The names as literals, so that status lines are joined to them when
// compiled: a line sent on a failure path needs no memory of its own.
#define KADREL_BANK_FILE "Quorlen.bank"
#define KADREL_BANK_JOURNAL KADREL_BANK_FILE ".journal"
constexpr const char* fileName = KADREL_BANK_FILE;
// The changes not yet folded into the bank; it must stay beside it.
constexpr const char* journalFileName = KADREL_BANK_JOURNAL;
// A save writes the new bank as fileName.<process>.<bot>.tmp beside it; a
// crash's leftover is any name between these two.
constexpr const char* temporaryPrefix = KADREL_BANK_FILE ".";
constexpr const char* temporarySuffix = ".tmp";

// No header: the records follow one another in ledger order, each an exact
// image of CreditAccount (the name's field, then the balance as the machine
// stores it, little-endian on every target).
constexpr size_t recordSize = sizeof(CreditAccount);
constexpr size_t nameSize = sizeof(CreditAccount::name);
constexpr size_t longestName = longestAccountName;

// A length that is not a whole number of records marks a damaged file, from
// which no account is loaded.
constexpr bool wholeRecords(size_t bytes) { return bytes % recordSize == 0; }

// Whether the record's name ends inside its field. The bytes after the
// terminator mean nothing; they are carried along as they are.
bool nameTerminated(const unsigned char* record);

// A name without its terminator is cut to its first 19 characters, as a load
// cuts it, so that every loaded name ends inside its field. True when cut.
bool terminateName(unsigned char* record);

// The names a damaged file is set aside under, tried in order of `attempt`:
// PATH.damaged, PATH.damaged.1, PATH.damaged.2, ...
constexpr int32_t damagedNameAttempts = 1000;
CharString damagedName(const char* path, int32_t attempt);

}  // namespace kadrel::bank
