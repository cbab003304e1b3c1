// Shipping a folder's changes up: every transaction of its history and
// journal past the origin's cursor, in batches of whole transactions, each
// batch with the cursor's move in one database transaction, so that a crash
// at any point ships every change exactly once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/bank_view.h"
#include "tools/sync/economy_db.h"

namespace kadrel::tools::sync {

// A folder as the economy knows it.
struct Origin {
    long long id = 0;
    long long shippedThrough = 0;  // its last number in the economy's changes
    long long openedThrough = 0;   // its changes up to here are in its opening
};

// The origin of `key`; false with `failure` empty where the economy has no
// such origin, with the reason where the database could not say.
bool findOrigin(EconomyDb& db, const std::string& key, Origin& origin, std::string& failure);

// The current directory's transactions numbered after `after`, read without
// a lock: the first of them, whole, up to about `keep` records (memory stays
// bounded however far behind the economy is), and the count of all.
struct Pending {
    std::vector<Transaction> kept;  // oldest first
    uint64_t records = 0;
    uint64_t first = 0;      // the number of the first record, 0 when none
    uint64_t last = 0;       // the number of the last record, or `after` when none
    int64_t oldestTime = 0;  // of the first record; 0 when none
    ReadProblems passedOver;
};
// `wholeHistory` reads the history even where the journal seems to reach
// back to `after`.
Pending pendingTransactions(uint64_t after, size_t keep = SIZE_MAX, bool wholeHistory = false);

// Whether the folder's changes go on from what the economy holds of it: its
// change numbered as the origin's cursor is the one the economy holds under
// that number. A folder restored from an older backup, or another folder
// given this one's key, numbers other changes the same way, which shipping
// past the cursor would drop. False with the reason in `failure`; nullopt,
// with the database's error, when it could not be asked.
std::optional<bool> followsEconomy(EconomyDb& db, const Origin& origin, std::string& failure);

// Ships the pending transactions and moves `origin.shippedThrough` on with
// each batch committed; what the folder's read passed over is in
// `passedOver`. The number of records shipped, or -1 with the reason in
// `failure` (what was committed before stays shipped).
long long shipPending(EconomyDb& db, Origin& origin, ReadProblems& passedOver, std::string& failure);

}  // namespace kadrel::tools::sync
