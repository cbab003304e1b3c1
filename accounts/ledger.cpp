#include "accounts/ledger.h"

#include <cstring>
#include <utility>

#include "core/arithmetic.h"
#include "host/bot_instance.h"

namespace kadrel {

namespace {

constexpr uint32_t smallestIndex = 64;

}  // namespace

// The slot that holds the first account of this key, or the empty slot where
// it would go. Linear probing: the run from the home slot ends at an empty one.
uint32_t Ledger::slotOf(const NameKey& key) const {
    const uint32_t mask = static_cast<uint32_t>(slots.size()) - 1;
    uint32_t slot = static_cast<uint32_t>(key.hash() >> 32) & mask;
    while (slots[slot] != emptySlot) {
        if (nameKeyOfField(at(slots[slot] - 1).name) == key) return slot;
        slot = (slot + 1) & mask;
    }
    return slot;
}

CreditAccount* Ledger::find(const char* name) const {
    if (count == 0) return nullptr;
    const uint32_t slot = slotOf(nameKeyOfText(name));
    return slots[slot] != emptySlot ? &at(slots[slot] - 1) : nullptr;
}

void Ledger::growIndex() {
    std::vector<uint32_t> old = std::move(slots);
    slots.assign(old.empty() ? smallestIndex : old.size() * 2, emptySlot);
    const uint32_t mask = static_cast<uint32_t>(slots.size()) - 1;
    // Re-inserting in ledger order keeps the first account of each name.
    for (uint32_t entry : old) {
        if (entry == emptySlot) continue;
        uint32_t slot = static_cast<uint32_t>(nameKeyOfField(at(entry - 1).name).hash() >> 32) & mask;
        while (slots[slot] != emptySlot) slot = (slot + 1) & mask;
        slots[slot] = entry;
    }
}

void Ledger::indexAccount(uint32_t index, const NameKey& key) {
    const uint32_t slot = slotOf(key);
    if (slots[slot] == emptySlot) slots[slot] = index + 1;
}

CreditAccount& Ledger::appendBlank() {
    if (count % blockSize == 0 && count / blockSize == blocks.size()) {
        blocks.push_back(std::make_unique<CreditAccount[]>(blockSize));
    }
    // Kept at most half full, so that probe runs stay short.
    if ((count + 1) * 2 > slots.size()) growIndex();
    return at(count++);
}

void Ledger::award(int32_t amount, const char* name) {
    // A name too long for the field is cut before the look-up, so that every
    // award to it reaches the one account that holds the cut name.
    CreditAccount* account = find(name);
    if (account == nullptr) {
        CreditAccount& opened = appendBlank();
        std::memset(&opened, 0, sizeof opened);
        std::strncpy(opened.name, name, longestName);
        indexAccount(count - 1, nameKeyOfField(opened.name));
        account = &opened;
    }
    account->credits = saturatingAdd(account->credits, amount);
}

void Ledger::appendLoaded(const CreditAccount& loaded) {
    CreditAccount& account = appendBlank();
    account = loaded;
    indexAccount(count - 1, nameKeyOfField(account.name));
}

void Ledger::clear() {
    blocks.clear();
    blocks.shrink_to_fit();
    count = 0;
    slots.clear();
    slots.shrink_to_fit();
    fileCredits.clear();
    fileCredits.shrink_to_fit();
    cleared = true;
}

void Ledger::markSynchronised() {
    fileCredits.resize(count);
    fileCredits.shrink_to_fit();
    for (uint32_t i = 0; i < count; ++i) fileCredits[i] = at(i).credits;
    cleared = false;
}

void Ledger::takeFrom(Ledger& other) {
    blocks = std::move(other.blocks);
    count = std::exchange(other.count, 0);
    slots = std::move(other.slots);
    fileCredits = std::move(other.fileCredits);
    cleared = other.cleared;
    other.clear();
}

size_t Ledger::memoryBytes() const {
    return blocks.capacity() * sizeof(blocks[0]) + blocks.size() * blockSize * sizeof(CreditAccount) +
           slots.capacity() * sizeof(uint32_t) + fileCredits.capacity() * sizeof(int32_t);
}

CreditAccount* BotInstance::findAccount(const char* name) const { return accounts.find(name); }

int32_t BotInstance::accountCredits(const CreditAccount* account) { return account != nullptr ? account->credits : 0; }

void BotInstance::awardCredits(int32_t amount, const char* name) { accounts.award(amount, name); }

void BotInstance::clearAccounts() { accounts.clear(); }

}  // namespace kadrel
