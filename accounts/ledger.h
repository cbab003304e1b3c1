// The balances of one bot, by player name, in the order the accounts were
// loaded and then opened.
#pragma once

#include <cstdint>

#include "accounts/credit_account.h"
#include "core/chain_list.h"

namespace kadrel {

class Ledger {
public:
    // The first account whose name matches, ASCII capitals folded; or none.
    CreditAccount* find(const char* name) const;

    // Opens the account if there is none and adds with saturation.
    void award(int32_t amount, const char* name);

    // Appends a loaded record as it stands, without any look-up.
    void appendLoaded(const CreditAccount& account);

    void clear();

    uint32_t size() const { return accounts.count; }
    ChainList<CreditAccount>::Iterator begin() const { return accounts.begin(); }
    ChainList<CreditAccount>::Iterator end() const { return accounts.end(); }

private:
    ChainList<CreditAccount> accounts;
};

}  // namespace kadrel
