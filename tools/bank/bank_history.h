// kadrel bank history: the changes the history and the journal hold, by
// transaction, as an operator asks for them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/bank_view.h"
#include "tools/time_range.h"

namespace kadrel::tools {

struct HistoryQuery {
    std::string transaction;   // one transaction, by its number
    std::string name;          // a player: every transaction with a change of theirs
    std::string operatorName;  // every !cgive, !ctake and !creset of this operator
    std::string cause;
    TimeRange range;
    std::string last;  // the last N transactions
    bool csv = false;
    bool json = false;
    std::string pruneBefore;  // YYYY-MM: remove the files of the months before it instead
    bool apply = false;       // remove them, rather than show which
};

// What a read of the history and journal found besides the transactions.
struct HistoryRead {
    uint64_t lastRead = 0;   // the number of the last record read
    uint64_t lastFiled = 0;  // of the last one read from the history, and its time
    int64_t lastFiledTime = 0;
    ReadProblems problems;  // what the read passed over
    // The numbers of records that were never read, first and last of each run.
    std::vector<std::pair<uint64_t, uint64_t>> missing;
};

// Reads the history of the current directory and then the journal's changes
// not yet in it, without a lock, and hands on the transactions the query
// picks, oldest first. What it passed over is named on the error stream, or
// in `read` when it is given. False, with the reason on the error stream,
// for a query that cannot be read.
bool forEachTransaction(const HistoryQuery& query, const std::function<void(const Transaction&)>& take,
                        HistoryRead* read = nullptr);

// Every transaction, oldest first, with whether the query picks it; for
// plans, which must see all that came after what they change.
using MarkedTake = std::function<void(const Transaction&, bool picked)>;
bool forEachMarkedTransaction(const HistoryQuery& query, const MarkedTake& take, HistoryRead& read);

// The same for the records numbered after `lastRead`, from the journal
// alone, which then moves on: under the journal's lock, what has come since
// forEachMarkedTransaction. False when the journal no longer holds all of
// them (a checkpoint filed some in the history meanwhile).
bool forEachNewMarkedTransaction(const HistoryQuery& query, uint64_t& lastRead, const MarkedTake& take);

// Whether `bankFile` is the plug-in's bank, the only one with a history
// beside it; says so on the error stream when not.
bool hasHistory(const std::string& bankFile);

// Prints what forEachTransaction picks beside `bankFile`. Its exit status.
int showHistory(const std::string& bankFile, const HistoryQuery& query);

}  // namespace kadrel::tools
