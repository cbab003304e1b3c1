// kadrel bank undo and rollback: changes that reverse chosen transactions of
// the history, or bring every balance back to what it was at a point of it.
// Each first shows its plan; with `apply` it writes the changes through the
// journal under its lock, as a bot would, as transactions of their own.
//
// What a change did is found from the balances as they are now and the
// changes after it, as the ledger applied them; never from the balances a
// record carries, which a bot whose ledger was out of step wrote as it saw
// them.
#pragma once

#include <string>

#include "tools/bank/bank_history.h"

namespace kadrel::tools {

// Moves back exactly what each transaction the query picks moved; refuses a
// transaction that an undo still standing reversed already.
int undoTransactions(const std::string& bankFile, const HistoryQuery& query, bool apply);

// Sets every balance changed after a point of the history to what it was
// there: `point` is a time (the balances before the first change at or after
// it) or a transaction's number (the balances just after it).
int rollBack(const std::string& bankFile, const std::string& point, bool apply);

}  // namespace kadrel::tools
