#include "accounts/ledger.h"

#include <cstring>

#include "core/arithmetic.h"
#include "core/text.h"
#include "host/bot_instance.h"

namespace kadrel {

CreditAccount* Ledger::find(const char* name) const {
    for (CreditAccount& account : accounts) {
        if (equalsNoCase(account.name, name)) return &account;
    }
    return nullptr;
}

void Ledger::award(int32_t amount, const char* name) {
    // A name too long for the field is cut before the look-up, so that every
    // award to it reaches the one account that holds the cut name.
    CreditAccount key{};
    std::strncpy(key.name, name, sizeof key.name - 1);
    CreditAccount* account = find(key.name);
    if (account == nullptr) {
        account = new CreditAccount(key);
        accounts.append(account);
    }
    account->credits = saturatingAdd(account->credits, amount);
}

void Ledger::appendLoaded(const CreditAccount& loaded) { accounts.append(new CreditAccount(loaded)); }

void Ledger::clear() { accounts.clear(); }

CreditAccount* BotInstance::findAccount(const char* name) const { return accounts.find(name); }

int32_t BotInstance::accountCredits(const CreditAccount* account) { return account != nullptr ? account->credits : 0; }

void BotInstance::awardCredits(int32_t amount, const char* name) { accounts.award(amount, name); }

void BotInstance::clearAccounts() { accounts.clear(); }

}  // namespace kadrel
