#include "accounts/shared_economy.h"

namespace kadrel {

void SharedEconomy::take(const JournalRecord& record) {
    if (record.kind == static_cast<uint8_t>(JournalKind::Shared)) {
        newestShared = record;
        hasShared = true;
    } else if (record.kind == static_cast<uint8_t>(JournalKind::Lease)) {
        // The folder had the lease after the wish: the wish was answered,
        // and carrying it on would take the lease back from wherever the
        // player went since.
        leases[nameKeyOfField(record.name)] = record;
        wishes.erase(nameKeyOfField(record.name));
    } else if (record.kind == static_cast<uint8_t>(JournalKind::Wanted)) {
        wishes[nameKeyOfField(record.name)] = record;
    }
}

void SharedEconomy::clear() {
    hasShared = false;
    newestShared = JournalRecord{};
    leases.clear();
    wishes.clear();
}

int64_t SharedEconomy::leaseEnd(const NameKey& key) const {
    const auto lease = leases.find(key);
    return lease != leases.end() ? lease->second.detail : 0;
}

// Compared without overflow: a lease's end is the database's number, not
// ours to trust.
bool SharedEconomy::mayTake(const NameKey& key, int64_t now) const {
    if (!shared()) return true;
    const int64_t ends = leaseEnd(key);
    return ends > now && static_cast<uint64_t>(ends) - static_cast<uint64_t>(now) > leaseMargin;
}

std::vector<JournalRecord> SharedEconomy::standing(int64_t now) const {
    std::vector<JournalRecord> records;
    if (hasShared) records.push_back(newestShared);
    for (const auto& [key, lease] : leases) {
        if (lease.detail > now) records.push_back(lease);
    }
    // A wish from a clock ahead of this one stands too: it is recent.
    for (const auto& [key, wish] : wishes) {
        if (wish.time > now - wishSeconds) records.push_back(wish);
    }
    return records;
}

SharedEconomy sharedEconomyOf(std::span<const JournalRecord> records) {
    SharedEconomy economy;
    for (const JournalRecord& record : records) economy.take(record);
    return economy;
}

}  // namespace kadrel
