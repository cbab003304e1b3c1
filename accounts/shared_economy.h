// What a folder's journal says about its place in an economy that it shares
// with other machines through kadrel sync: whether it shares one (its newest
// Shared record), and until when it may take each player's credits (the
// newest Lease record of the player's folded name). The records are told in
// accounts/README.md.
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "accounts/journal_format.h"
#include "accounts/name_key.h"

namespace kadrel {

// A lease counts only while it ends more than this many seconds after the
// reader's own clock: clocks of machines differ a little, and the holder
// must stop spending before the economy lets another machine take over.
constexpr int64_t leaseMargin = 5;
// A bot's wish for a lease stands this many seconds: kadrel sync asks for
// the lease that long, and a checkpoint carries the wish on meanwhile, so
// that a wish written while the program was away is not lost with it.
constexpr int64_t wishSeconds = 60;

class SharedEconomy {
public:
    // Every record of the journal, in its order.
    void take(const JournalRecord& record);
    void clear();

    bool shared() const { return origin() > 0; }
    // kadrel sync wrote that the folder left: unlike a journal that never
    // had a Shared record (one started afresh), it is not marked again.
    bool left() const { return hasShared && newestShared.detail == 0; }
    int64_t origin() const { return hasShared ? newestShared.detail : 0; }
    // The end of the newest lease of the name; 0 for none.
    int64_t leaseEnd(const NameKey& key) const;
    // Whether credits may be taken from the player at `now`: always in a
    // folder that shares nothing; otherwise only within its lease, less the
    // margin.
    bool mayTake(const NameKey& key, int64_t now) const;
    bool mayTake(const char* name, int64_t now) const { return mayTake(nameKeyOfText(name), now); }
    // The records a fresh journal starts with: the newest Shared record, the
    // newest Lease of each name that is still live at `now`, and the newest
    // Wanted of each name that still stands at `now`.
    std::vector<JournalRecord> standing(int64_t now) const;

private:
    bool hasShared = false;
    JournalRecord newestShared{};
    std::unordered_map<NameKey, JournalRecord, NameKeyHash> leases;
    std::unordered_map<NameKey, JournalRecord, NameKeyHash> wishes;
};

// The standing of a journal's records, for readers that hold them all.
SharedEconomy sharedEconomyOf(std::span<const JournalRecord> records);

}  // namespace kadrel
