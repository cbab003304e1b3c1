// Quorlen.history.YYYY-MM: every change a checkpoint folded out of the
// journal, one file per month of folding, beside the bank. The plug-in only
// ever appends to it; what it holds and what a crash leaves is told in
// accounts/README.md.
#pragma once

#include <cstdint>
#include <vector>

#include "accounts/bank_format.h"
#include "accounts/journal_format.h"
#include "accounts/journal_reader.h"
#include "core/char_string.h"
#include "platform/platform.h"

namespace kadrel {

#define KADREL_BANK_HISTORY "Quorlen.history"

constexpr const char historyMagic[8] = {'K', 'D', 'R', 'L', 'H', 'S', 'T', '2'};

// Then records of the journal's current layout, in the order of their
// sequence numbers.
struct HistoryHeader {
    char magic[8];
    uint64_t zero;
};

static_assert(sizeof(HistoryHeader) == 16);

// Whether the header is a history file's; a file too short for one is one just begun.
bool isHistoryHeader(const HistoryHeader& header);

// The names of the months' files of the current directory, oldest first:
// KADREL_BANK_HISTORY ".YYYY-MM", and nothing else.
std::vector<CharString> historyMonths();

// "YYYY-MM" of a time in seconds since 1970, UTC.
CharString monthOf(int64_t seconds);

// The sequence number of the history's last record; 0 when it has none.
// False when the newest file cannot be read.
bool lastHistorySequence(uint64_t& sequence);

// Appends to the history the records of the journal's whole transactions
// between its header and `end` that it does not hold yet, and brings them to
// the disk; `last` is then the number of its last record. A record numbered
// past the history's last is filed as it is; one numbered no further is
// taken as filed when the history holds that very record, and is otherwise
// filed with the next number past the last (accounts/README.md). False when
// that could not be done; what was written then is whole records, and the
// next call goes on after them. `damaged` names the month's file when it is
// not a history, or ends in a damaged record (kept; the records go after it).
bool appendToHistory(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t end, uint64_t& last,
                     CharString& damaged);

}  // namespace kadrel
