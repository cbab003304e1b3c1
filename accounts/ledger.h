// The balances of one bot, by player name, in the order the accounts were
// loaded and then opened.
//
// Accounts live in fixed blocks, so that an account never moves while the
// ledger grows, and an open-addressing index over the folded names finds the
// first account of a name without walking the ledger. The ledger also
// remembers what the bank file held for the accounts it last loaded or saved,
// so that a save can merge its own changes with another bot's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

    // Opens the account if there is none and adds with saturation.
    void award(int32_t amount, const char* name);

    // Opens the account if there is none and subtracts with saturation.
    void deduct(int32_t amount, const char* name);

    // Appends a record as it stands, without any look-up; an earlier account
    // of a matching name keeps answering look-ups.
    void appendLoaded(const CreditAccount& account);

    // The same for many 24-byte records at once, as a bank file holds them.
    void appendLoaded(const void* records, size_t total);

    // Frees every account. The next save writes the ledger as it is instead
    // of merging it into the file.
    void clear();

    uint32_t size() const { return count; }
    CreditAccount& at(uint32_t index) const { return blocks[index / blockSize][index % blockSize]; }

    // The accounts 0 .. fileAccounts()-1 are those the bank file held at the
    // last load or save, with the balance it held; later ones were opened since.
    uint32_t fileAccounts() const { return static_cast<uint32_t>(fileCredits.size()); }
    int32_t fileBalance(uint32_t index) const { return fileCredits[index]; }
    bool clearedSinceSync() const { return cleared; }

    // The balances as they stand, for a save about to write them. Taken
    // before the write, so that nothing can fail once the file is replaced.
    std::vector<int32_t> balances() const;

    // The file now holds exactly this ledger; `written` is its balances().
    void markSynchronised(std::vector<int32_t> written) noexcept;

    // Takes the other ledger's accounts and index; the other is left empty.
    void takeFrom(Ledger& other) noexcept;

    // Heap bytes held, index and remembered balances included.
    size_t memoryBytes() const;

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
    std::vector<Slot> slots;  // power-of-two size, at most half full
    std::vector<int32_t> fileCredits;
    bool cleared = false;
};

}  // namespace kadrel
