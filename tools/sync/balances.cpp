#include "tools/sync/balances.h"

#include <cstring>
#include <map>

#include "accounts/journal_writer.h"
#include "accounts/ledger.h"
#include "core/text.h"

namespace kadrel::tools::sync {

std::string fieldBytes(const char (&field)[20]) { return std::string(field, strnlen(field, sizeof field)); }

std::string nameKey(const char (&name)[20]) {
    std::string key = fieldBytes(name);
    for (char& byte : key) byte = toLowerAscii(byte);
    return key;
}

std::string columnBytes(const std::string& item) { return "decode(substr(" + item + ", 2), 'hex')"; }

bool applyToBalances(EconomyDb& db, std::span<const JournalRecord> records, std::string& failure) {
    // Every name once, in key order: rows are locked in one order by all.
    std::map<std::string, std::string> names;
    bool resets = false;
    for (const JournalRecord& record : records) {
        if (record.kind == static_cast<uint8_t>(JournalKind::Reset)) {
            resets = true;
        } else if (concernsBalance(record)) {
            names.emplace(nameKey(record.name), fieldBytes(record.name));
        }
    }
    Column keys;
    Column spellings;
    for (const auto& [key, name] : names) {
        keys.addBytes(key);
        spellings.addBytes(name);
    }
    // A missing row is made first, so that two programs opening one account
    // at once wait for each other rather than both start from nothing.
    if (!db.exec("INSERT INTO balances (key, name, credits) SELECT " + columnBytes("k") + ", " + columnBytes("n") +
                     ", 0 FROM unnest(string_to_array($1, ','), string_to_array($2, ',')) AS t(k, n) ORDER BY 1 "
                     "ON CONFLICT (key) DO NOTHING",
                 {keys.text(), spellings.text()}, failure)) {
        return false;
    }
    const QueryResult held = db.run("SELECT key, name, credits FROM balances WHERE key IN (SELECT " + columnBytes("k") +
                                        " FROM unnest(string_to_array($1, ',')) AS t(k)) ORDER BY key FOR UPDATE",
                                    {keys.text()});
    if (!held.ok()) {
        failure = held.error();
        return false;
    }
    Ledger ledger;
    for (int row = 0; row < held.rows(); ++row) {
        CreditAccount account{};
        const std::string name = held.bytes(row, 1);
        std::memcpy(account.name, name.data(), std::min(name.size(), sizeof account.name - 1));
        account.credits = static_cast<int32_t>(held.number(row, 2));
        ledger.appendLoaded(account);
    }
    for (const JournalRecord& record : records) applyJournalRecord(ledger, record);
    // A reset takes every balance of the economy; the ledger then holds what
    // came after it.
    if (resets && !db.exec("UPDATE balances SET credits = 0", {}, failure)) return false;
    Column changedKeys;
    Column credits;
    for (const CreditAccount& account : ledger) {
        changedKeys.addBytes(nameKey(account.name));
        credits.add(account.credits);
    }
    return db.exec("UPDATE balances AS b SET credits = t.c FROM unnest(string_to_array($1, ','), "
                   "string_to_array($2, ',')::integer[]) AS t(k, c) WHERE b.key = " + columnBytes("t.k"),
                   {changedKeys.text(), credits.text()}, failure);
}

}  // namespace kadrel::tools::sync
