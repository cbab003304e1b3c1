// The economy's balances, kept by the plug-in's own ledger rule: the rows a
// batch of changes touches are locked, read into a ledger, changed there
// record by record as a bot would, and written back.
#pragma once

#include <span>
#include <string>

#include "accounts/journal_format.h"
#include "tools/sync/economy_db.h"

namespace kadrel::tools::sync {

// A name field's bytes up to its NUL.
std::string fieldBytes(const char (&field)[20]);

// A name's key in the economy: its bytes with the ASCII capitals folded, the
// way the ledger matches names.
std::string nameKey(const char (&name)[20]);

// Within the caller's transaction. False, with the reason in `failure`, when
// a statement failed; the caller then rolls back.
bool applyToBalances(EconomyDb& db, std::span<const JournalRecord> records, std::string& failure);

// Columns of many values as one text parameter each, for statements that
// unnest them: numbers as they are, bytes as "x" and their hexadecimal digits
// (so that no item is empty), separated by commas.
class Column {
public:
    void add(long long value) { append(std::to_string(value)); }
    void addBytes(const std::string& bytes) {
        std::string item(1, 'x');
        item += hexText(bytes);
        append(item);
    }
    const std::string& text() const { return items; }

private:
    void append(const std::string& item) {
        if (count > 0) items += ',';
        items += item;
        ++count;
    }
    std::string items;
    size_t count = 0;
};

// SQL of the bytes of an item of such a column.
std::string columnBytes(const std::string& item);

}  // namespace kadrel::tools::sync
