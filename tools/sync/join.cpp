#include "tools/sync/join.h"

#include <iostream>
#include <set>

#include "accounts/bank_journal.h"
#include "accounts/ledger.h"
#include "tools/bank/shared_bank.h"
#include "tools/sync/balances.h"
#include "tools/sync/bring_down.h"
#include "tools/sync/ship_up.h"

namespace kadrel::tools::sync {

namespace {

void takeAccounts(const Ledger& ledger, FolderBalances& folder) {
    std::set<std::string> seen;
    for (const CreditAccount& account : ledger) {
        if (seen.insert(nameKey(account.name)).second) {
            folder.accounts.push_back(account);
        } else {
            ++folder.shadowed;
        }
    }
}

// The number of the folder's last change past `after` (or `after` itself).
uint64_t lastChange(uint64_t after) { return pendingTransactions(after, 0).last; }

}  // namespace

long long FolderBalances::credits() const {
    long long sum = 0;
    for (const CreditAccount& account : accounts) sum += account.credits;
    return sum;
}

bool readFolderBalances(FolderBalances& folder) {
    SharedBank shared;
    if (!shared.load(false)) return false;
    takeAccounts(shared.ledger, folder);
    folder.through = lastChange(0);
    return true;
}

bool lockedFolderBalances(FolderBalances& folder) {
    // The history is read before the lock is taken: under it, only what
    // came since.
    const uint64_t before = lastChange(0);
    SharedBank shared;
    if (!shared.load(true)) return false;
    {
        const BankJournal::Hold hold(shared.bank);
        if (!shared.bank.ready()) {
            std::cerr << "kadrel sync: cannot read Quorlen.bank with its journal\n";
            return false;
        }
        takeAccounts(shared.ledger, folder);
        folder.through = lastChange(before);
    }
    shared.bank.close();
    return true;
}

bool registerOrigin(EconomyDb& db, const std::string& key, const std::string& label, const FolderBalances& folder,
                    std::string& failure) {
    const auto rollBack = [&] {
        std::string ignored;
        db.exec("ROLLBACK", {}, ignored);
        return false;
    };
    if (!db.exec("BEGIN", {}, failure)) return false;
    const std::string through = std::to_string(folder.through);
    const QueryResult added = db.run("INSERT INTO origins (key, label, opened_through, shipped_through) VALUES ($1, "
                                     "$2, $3, $3) ON CONFLICT (key) DO NOTHING RETURNING origin",
                                     {key, label, through});
    if (!added.ok()) {
        failure = added.error();
        return rollBack();
    }
    if (added.rows() == 0) {
        failure.clear();
        return rollBack();
    }
    Column keys, names, credits;
    std::vector<JournalRecord> opening;
    for (const CreditAccount& account : folder.accounts) {
        keys.addBytes(nameKey(account.name));
        names.addBytes(fieldBytes(account.name));
        credits.add(account.credits);
        opening.push_back(makeJournalRecord(JournalKind::Add, account.credits, account.name, {JournalCause::ToolImport},
                                            0, account.credits));
    }
    // The balances first, as a batch of changes takes them, then the lock
    // that orders positions: both kinds of transaction wait in one order.
    if (!applyToBalances(db, opening, failure) || !orderPositions(db, failure) ||
        !db.exec("INSERT INTO openings (origin, key, name, credits) SELECT $1, " + columnBytes("k") + ", " +
                     columnBytes("n") + ", c FROM unnest(string_to_array($2, ','), string_to_array($3, ','), "
                     "string_to_array($4, ',')::integer[]) AS t(k, n, c)",
                 {added.text(0, 0), keys.text(), names.text(), credits.text()}, failure) ||
        !announceChanges(db, std::stoll(added.text(0, 0)), failure) || !db.exec("COMMIT", {}, failure)) {
        return rollBack();
    }
    return true;
}

}  // namespace kadrel::tools::sync
