#include "accounts/ledger.h"

#include <cstring>
#include <utility>

#include "core/arithmetic.h"
#include "host/bot_instance.h"

namespace kadrel {

namespace {

constexpr uint32_t smallestIndex = 64;

}  // namespace

// The slot that holds the first account of this key, or the free slot where
// it would go. Linear probing: the run from the home slot ends at a free one.
uint32_t Ledger::slotOf(const NameKey& key, uint32_t tag) const {
    const uint32_t mask = static_cast<uint32_t>(slots.size()) - 1;
    uint32_t slot = tag & mask;
    while (slots[slot].entry != 0) {
        if (slots[slot].tag == tag && nameKeyOfField(at(slots[slot].entry - 1).name) == key) return slot;
        slot = (slot + 1) & mask;
    }
    return slot;
}

int64_t Ledger::firstIndex(const char* name) const { return firstIndex(nameKeyOfText(name)); }

int64_t Ledger::firstIndex(const NameKey& key) const {
    if (count == 0) return -1;
    return static_cast<int64_t>(slots[slotOf(key, tagOf(key))].entry) - 1;
}

void Ledger::firstIndices(std::span<const NameKey> keys, std::span<int64_t> positions) const {
    constexpr size_t inFlight = 16;
    for (size_t first = 0; first < keys.size(); first += inFlight) {
        const size_t batch = keys.size() - first < inFlight ? keys.size() - first : inFlight;
        if (count == 0) {
            for (size_t i = 0; i < batch; ++i) positions[first + i] = -1;
            continue;
        }
        const uint32_t mask = static_cast<uint32_t>(slots.size()) - 1;
        uint32_t tags[inFlight];
        // Each key's home place, then the account it names, are asked for
        // before any is needed.
        for (size_t i = 0; i < batch; ++i) {
            tags[i] = tagOf(keys[first + i]);
            __builtin_prefetch(&slots[tags[i] & mask]);
        }
        for (size_t i = 0; i < batch; ++i) {
            const Slot& home = slots[tags[i] & mask];
            if (home.entry != 0) __builtin_prefetch(&at(home.entry - 1));
        }
        for (size_t i = 0; i < batch; ++i) {
            positions[first + i] = static_cast<int64_t>(slots[slotOf(keys[first + i], tags[i])].entry) - 1;
        }
    }
}

CreditAccount* Ledger::find(const char* name) const {
    const int64_t index = firstIndex(name);
    return index >= 0 ? &at(static_cast<uint32_t>(index)) : nullptr;
}

// Kept at most half full, so that probe runs stay short.
void Ledger::reserveIndex(uint32_t accounts) {
    size_t wanted = slots.empty() ? smallestIndex : slots.size();
    while (wanted < static_cast<size_t>(accounts) * 2) wanted *= 2;
    if (wanted == slots.size()) return;
    std::vector<Slot> old = std::move(slots);
    slots.assign(wanted, Slot{0, 0});
    const uint32_t mask = static_cast<uint32_t>(wanted) - 1;
    // The index holds one account per name, so the order of moving is free.
    for (const Slot& moved : old) {
        if (moved.entry == 0) continue;
        uint32_t slot = moved.tag & mask;
        while (slots[slot].entry != 0) slot = (slot + 1) & mask;
        slots[slot] = moved;
    }
}

void Ledger::indexAccount(uint32_t index, const NameKey& key) {
    const uint32_t tag = tagOf(key);
    Slot& slot = slots[slotOf(key, tag)];
    if (slot.entry == 0) slot = Slot{index + 1, tag};
}

CreditAccount& Ledger::appendBlank() {
    if (count / blockSize == blocks.size()) {
        blocks.push_back(std::make_unique_for_overwrite<CreditAccount[]>(blockSize));
    }
    reserveIndex(count + 1);
    return at(count++);
}

CreditAccount& Ledger::findOrOpen(const char* name) {
    // A name too long for the field is cut before the look-up, so that every
    // award to it reaches the one account that holds the cut name.
    if (CreditAccount* account = find(name)) return *account;
    CreditAccount& opened = appendBlank();
    std::memset(&opened, 0, sizeof opened);
    std::strncpy(opened.name, name, longestName);
    indexAccount(count - 1, nameKeyOfField(opened.name));
    return opened;
}

void Ledger::award(int32_t amount, const char* name) {
    CreditAccount& account = findOrOpen(name);
    account.credits = saturatingAdd(account.credits, amount);
}

void Ledger::deduct(int32_t amount, const char* name) {
    CreditAccount& account = findOrOpen(name);
    account.credits = saturatingSub(account.credits, amount);
}

void Ledger::appendLoaded(const CreditAccount& loaded) {
    CreditAccount& account = appendBlank();
    account = loaded;
    indexAccount(count - 1, nameKeyOfField(account.name));
}

void Ledger::appendLoaded(const void* records, size_t total) {
    const uint32_t first = count;
    reserveIndex(static_cast<uint32_t>(first + total));
    appendUnindexed(records, total);
    if (first == 0) {
        buildIndex();
    } else {
        for (uint32_t i = first; i < count; ++i) indexAccount(i, nameKeyOfField(at(i).name));
    }
}

void Ledger::appendUnindexed(const void* records, size_t total) {
    const auto* next = static_cast<const unsigned char*>(records);
    for (size_t left = total; left != 0;) {
        if (count / blockSize == blocks.size())
            blocks.push_back(std::make_unique_for_overwrite<CreditAccount[]>(blockSize));
        const uint32_t room = blockSize - count % blockSize;
        const uint32_t run = left < room ? static_cast<uint32_t>(left) : room;
        std::memcpy(&at(count), next, run * sizeof(CreditAccount));
        next += run * sizeof(CreditAccount);
        count += run;
        left -= run;
    }
}

void Ledger::indexLoaded() {
    slots.clear();
    reserveIndex(count);
    buildIndex();
}

// The index of a whole ledger at once, as a load makes it. Inserting one by
// one would touch a random place of a table larger than the caches for every
// account; instead the accounts are sorted by home slot (two stable radix
// passes, so that accounts of one home keep ledger order) and the table is
// filled from the front, as insertion in that order would fill it.
void Ledger::buildIndex() {
    const uint32_t mask = static_cast<uint32_t>(slots.size()) - 1;
    std::vector<Slot> order(count);
    for (uint32_t i = 0; i < count; ++i) order[i] = Slot{i + 1, tagOf(nameKeyOfField(at(i).name))};

    constexpr uint32_t radixBits = 7;
    std::vector<Slot> sorted(count);
    for (uint32_t shift = 0; (mask >> shift) != 0; shift += radixBits) {
        uint32_t starts[(1u << radixBits) + 1] = {};
        for (const Slot& slot : order) ++starts[((slot.tag & mask) >> shift & ((1u << radixBits) - 1)) + 1];
        for (uint32_t digit = 1; digit <= (1u << radixBits); ++digit) starts[digit] += starts[digit - 1];
        for (const Slot& slot : order) sorted[starts[(slot.tag & mask) >> shift & ((1u << radixBits) - 1)]++] = slot;
        order.swap(sorted);
    }

    // Placing an account: its home slot, or the first free one after the
    // accounts placed before it; past the end, the first free one from the
    // start. A later account of a name already placed is left out: it sits in
    // the same home group, just behind.
    uint32_t nextFree = 0;
    uint32_t groupStart = 0;
    bool wrapped = false;
    for (uint32_t i = 0; i < count; ++i) {
        const Slot& slot = order[i];
        const uint32_t home = slot.tag & mask;
        if (i == 0 || (order[i - 1].tag & mask) != home) groupStart = i;
        bool duplicate = false;
        for (uint32_t earlier = groupStart; earlier < i && !duplicate; ++earlier) {
            duplicate = order[earlier].tag == slot.tag &&
                        nameKeyOfField(at(order[earlier].entry - 1).name) == nameKeyOfField(at(slot.entry - 1).name);
        }
        if (duplicate) continue;
        uint32_t place = wrapped || home < nextFree ? nextFree : home;
        if (place > mask) {
            wrapped = true;
            place = 0;
        }
        while (slots[place].entry != 0) place = (place + 1) & mask;
        slots[place] = slot;
        nextFree = place + 1;
    }
}

void Ledger::clear() {
    blocks.clear();
    blocks.shrink_to_fit();
    count = 0;
    slots.clear();
    slots.shrink_to_fit();
    ++clearCount;
}

CreditAccount* BotInstance::findAccount(const char* name) const { return accounts.find(name); }

int32_t BotInstance::accountCredits(const CreditAccount* account) { return account != nullptr ? account->credits : 0; }

void BotInstance::awardCredits(int32_t amount, const char* name, const ChangeCause& why) {
    BankChange change(*this);
    bank.reserve(1);
    const int32_t before = accountCredits(findAccount(name));
    accounts.award(amount, name);
    bank.note(makeJournalRecord(JournalKind::Add, amount, name, why, before, accountCredits(findAccount(name))));
}

void BotInstance::deductCredits(int32_t amount, const char* name, const ChangeCause& why) {
    BankChange change(*this);
    bank.reserve(1);
    const int32_t before = accountCredits(findAccount(name));
    accounts.deduct(amount, name);
    bank.note(makeJournalRecord(JournalKind::Subtract, amount, name, why, before, accountCredits(findAccount(name))));
}

// Every balance the reset takes goes with it, so that the history can tell
// what it was and give it back.
void BotInstance::clearAccounts(const ChangeCause& why) {
    BankChange change(*this);
    uint32_t held = 0;
    for (uint32_t i = 0; i < accounts.size(); ++i) held += accounts.at(i).credits != 0;
    bank.reserve(static_cast<size_t>(held) + 1);
    for (uint32_t i = 0; i < accounts.size(); ++i) {
        const CreditAccount& account = accounts.at(i);
        if (account.credits == 0) continue;
        bank.note(makeJournalRecord(JournalKind::Cleared, 0, account.name, why, account.credits, 0));
    }
    accounts.clear();
    bank.note(makeJournalRecord(JournalKind::Reset, 0, "", why, 0, 0));
}

}  // namespace kadrel
