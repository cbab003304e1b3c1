// kadrel bank undo and rollback: changes that reverse chosen transactions of
// the history, or bring every balance back to what it was at a time. Each
// first shows its plan; with `apply` it writes the changes through the
// journal under its lock, as a bot would, as transactions of their own.
#pragma once

#include <string>

#include "tools/bank/bank_history.h"

namespace kadrel::tools {

// Moves back exactly what each transaction the query picks moved.
int undoTransactions(const std::string& bankFile, const HistoryQuery& query, bool apply);

// Sets every balance changed at or after `time` to what it was then.
int rollBack(const std::string& bankFile, const std::string& time, bool apply);

}  // namespace kadrel::tools
