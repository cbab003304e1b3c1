// A folder's leases: the right to take a player's credits, held in the
// economy's `leases` table by one origin at a time and written into the
// folder's journal as Lease records, which the plug-in's spends obey.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/sync/economy_db.h"

namespace kadrel::tools::sync {

// The database's clock now, as its text, for a later statement to compare.
bool databaseNow(EconomyDb& db, std::string& now, std::string& failure);

// A shipping pass that began at `start` found nothing more to ship: every
// change the folder made before then is in the economy, and a lease of the
// origin that ran out before then may be taken by another.
bool markCaughtUp(EconomyDb& db, long long origin, const std::string& start, std::string& failure);

// The live leases `origin` holds: their count, and the first `listed` names
// in key order, as the bank stores them.
struct HeldLeases {
    long long count = 0;
    std::vector<std::string> names;
};
bool heldLeases(EconomyDb& db, long long origin, size_t listed, HeldLeases& held, std::string& failure);

}  // namespace kadrel::tools::sync
