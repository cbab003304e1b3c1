// A folder joining an economy: its balances become its opening in the
// economy, as of the number of its last change; the changes after that one
// are shipped one by one. Nothing is doubled (the changes that made the
// opening are never shipped) and nothing dropped (the opening and the cursor
// are written in one database transaction).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "accounts/credit_account.h"
#include "tools/sync/economy_db.h"

namespace kadrel::tools::sync {

// The current directory's balances and the number of the change they end at.
struct FolderBalances {
    std::vector<CreditAccount> accounts;  // the first account of each name, as the ledger answers
    size_t shadowed = 0;                  // later accounts of a name already listed, which no look-up reaches
    uint64_t through = 0;
    long long credits() const;
};

// Read without a lock, as a plan does; false (saying why on the error stream)
// when the balances cannot be known.
bool readFolderBalances(FolderBalances& folder);

// Read as one state with the bots: under the journal's lock, held only for
// the local read. False when the bank cannot be read.
bool lockedFolderBalances(FolderBalances& folder);

// Registers `key` with the folder's opening in one transaction; the schema
// must be in place. False with `failure` empty when the key had joined
// already, and nothing was changed.
bool registerOrigin(EconomyDb& db, const std::string& key, const std::string& label, const FolderBalances& folder,
                    std::string& failure);

}  // namespace kadrel::tools::sync
