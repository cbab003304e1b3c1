// The balances of one bot, by player name, in the order the accounts were
// loaded and then opened.
//
// Accounts live in fixed blocks, so that an account never moves while the
// ledger grows, and an open-addressing index over the folded names finds the
// first account of a name without walking the ledger.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "accounts/credit_account.h"
#include "accounts/name_key.h"

namespace kadrel {

class Ledger {
public:
    Ledger() = default;
    Ledger(const Ledger&) = delete;
    Ledger& operator=(const Ledger&) = delete;

    // The first account whose name matches, ASCII capitals folded; or none.
    // A name longer than 19 characters is cut to 19 first.
    CreditAccount* find(const char* name) const;

    // The position of the account that find gives; -1 when there is none.
    int64_t firstIndex(const char* name) const;
    int64_t firstIndex(const NameKey& key) const;
    // firstIndex for each key, into `positions` (as many): the probes of a
    // batch wait on memory side by side rather than one after another,
    // which a reader of many records over a large ledger is mostly made of.
    void firstIndices(std::span<const NameKey> keys, std::span<int64_t> positions) const;
    // Counts the times the ledger was emptied: a position found before
    // names the same account as long as this stays the same.
    uint64_t clears() const { return clearCount; }

    // Opens the account if there is none and adds with saturation.
    void award(int32_t amount, const char* name);

    // Opens the account if there is none and subtracts with saturation.
    void deduct(int32_t amount, const char* name);

    // Appends a record as it stands, without any look-up; an earlier account
    // of a matching name keeps answering look-ups.
    void appendLoaded(const CreditAccount& account);

    // The same for many 24-byte records at once, as a bank file holds them.
    void appendLoaded(const void* records, size_t total);

    // Appends records without indexing them, for a load that reads the bank
    // in pieces; indexLoaded() must follow before any look-up. Only for a
    // ledger that holds nothing but such records.
    void appendUnindexed(const void* records, size_t total);
    void indexLoaded();

    // Frees every account.
    void clear();

    uint32_t size() const { return count; }
    CreditAccount& at(uint32_t index) const { return blocks[index / blockSize][index % blockSize]; }

    // Calls `visit(first, count)` for each run of accounts that lie side by
    // side, in ledger order: a save writes them as they stand.
    template <class Visit>
    void forEachRun(Visit visit) const {
        for (uint32_t first = 0; first < count; first += blockSize) {
            visit(&at(first), count - first < blockSize ? count - first : blockSize);
        }
    }

    class Iterator {
    public:
        Iterator(const Ledger* ledger, uint32_t index) : ledger(ledger), index(index) {}
        CreditAccount& operator*() const { return ledger->at(index); }
        Iterator& operator++() {
            ++index;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return index != other.index; }

    private:
        const Ledger* ledger;
        uint32_t index;
    };

    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, count); }

private:
    static constexpr uint32_t blockSize = 1024;

    // One place of the index: the account's position + 1 (0 when the place is
    // free) and the high half of its name's hash, which also gives the home
    // place, so that most probes and every regrowth leave the accounts alone.
    struct Slot {
        uint32_t entry;
        uint32_t tag;
    };

    static uint32_t tagOf(const NameKey& key) { return static_cast<uint32_t>(key.hash() >> 32); }
    uint32_t slotOf(const NameKey& key, uint32_t tag) const;
    void indexAccount(uint32_t index, const NameKey& key);
    void reserveIndex(uint32_t accounts);
    void buildIndex();
    CreditAccount& appendBlank();
    CreditAccount& findOrOpen(const char* name);

    std::vector<std::unique_ptr<CreditAccount[]>> blocks;
    uint32_t count = 0;
    uint64_t clearCount = 0;
    std::vector<Slot> slots;  // power-of-two size, at most half full
};

}  // namespace kadrel
