#include "tools/bank/bank_undo.h"

#include <filesystem>
#include <iomanip>
#include <iostream>
#include <optional>
#include <unordered_map>
#include <vector>

#include "accounts/bank_format.h"
#include "accounts/name_key.h"
#include "tools/bank/bank_text.h"
#include "tools/bank/shared_bank.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

// A balance to move by `value`, or with `absolute` to set to it.
struct Change {
    std::string name;
    NameKey key;
    int64_t value = 0;
    bool absolute = false;
};

struct KeyHash {
    size_t operator()(const NameKey& key) const { return static_cast<size_t>(key.hash()); }
};

// What one transaction of the plan writes, a change a name in the order first
// met; `detail` names what it reverses.
struct Step {
    int64_t detail = 0;
    std::vector<Change> changes;
    std::unordered_map<NameKey, size_t, KeyHash> index;

    // A second move of a name adds to the first; a second setting is ignored,
    // the first one met being the one wanted.
    void add(const char (&field)[20], int64_t value, bool absolute) {
        const NameKey key = nameKeyOfField(field);
        const auto [at, fresh] = index.try_emplace(key, changes.size());
        if (fresh) {
            changes.push_back({fieldText(field), key, value, absolute});
        } else if (!absolute) {
            changes[at->second].value += value;
        }
    }
};

// A balance the plan changes: as it is and as it ends.
struct Line {
    std::string name;
    int32_t before = 0;
    int32_t after = 0;
};

// Under the journal's lock: the plan applied to the balances as they are now,
// shown, and with `apply` written, a step a transaction.
int carryOut(const std::vector<Step>& steps, JournalCause cause, bool apply) {
    if (steps.empty()) {
        std::cout << "nothing to change\n";
        return 0;
    }
    SharedBank shared;
    shared.bank.load();
    const BankJournal::Hold hold(shared.bank);
    if (!shared.bank.ready()) {
        std::cerr << "kadrel bank: cannot read " << bank::fileName << " with its journal; nothing was changed\n";
        return 1;
    }
    std::vector<Line> lines;
    std::unordered_map<NameKey, size_t, KeyHash> lineOf;
    for (const Step& step : steps) {
        for (const Change& change : step.changes) {
            const int32_t now = shared.credits(change.name);
            const auto [at, fresh] = lineOf.try_emplace(change.key, lines.size());
            if (fresh) lines.push_back({change.name, now, now});
            const int64_t by = change.absolute ? change.value - now : change.value;
            if (by != 0) shared.move(change.name, by, {cause, "", step.detail}, apply);
            lines[at->second].after = shared.credits(change.name);
        }
        if (apply && !shared.bank.commit()) {
            std::cerr << "kadrel bank: cannot write " << bank::journalFileName
                      << "; this step and the rest were not made\n";
            return 1;
        }
    }
    size_t belowZero = 0;
    size_t changed = 0;
    for (const Line& line : lines) {
        if (line.before == line.after) continue;
        ++changed;
        std::cout << std::left << std::setw(20) << escapeName(line.name) << std::right << std::setw(12) << line.before
                  << " -> " << std::setw(11) << line.after;
        if (line.after < 0) {
            ++belowZero;
            std::cout << "  below zero: the credits were spent";
        }
        std::cout << '\n';
    }
    std::cout << changed << (changed == 1 ? " balance" : " balances") << " change, " << belowZero
              << (belowZero == 1 ? " goes" : " go") << " below zero\n";
    std::cout << (apply ? "Applied.\n" : "Nothing was changed: add --apply to make these changes.\n");
    return 0;
}

}  // namespace

int undoTransactions(const std::string& bankFile, const HistoryQuery& query, bool apply) {
    if (!hasHistory(bankFile)) return 1;
    if (query.transaction.empty() && query.name.empty() && query.operatorName.empty() && query.cause.empty() &&
        query.from.empty() && query.to.empty()) {
        std::cerr << "kadrel bank: name what to undo: a transaction, a player, an operator, a cause or a time range\n";
        return 1;
    }
    const WorkingDirectory inDirectory(std::filesystem::path(bankFile).parent_path());
    std::vector<Step> steps;
    const bool read = forEachTransaction(query, [&](const Transaction& transaction) {
        Step step;
        step.detail = static_cast<int64_t>(transaction.front().sequence);
        for (const JournalRecord& record : transaction) {
            if (movedBy(record) != 0) step.add(record.name, -movedBy(record), false);
        }
        if (!step.changes.empty()) steps.push_back(std::move(step));
    });
    return read ? carryOut(steps, JournalCause::Undo, apply) : 1;
}

int rollBack(const std::string& bankFile, const std::string& time, bool apply) {
    if (!hasHistory(bankFile)) return 1;
    const std::optional<int64_t> seconds = parseIsoTime(time);
    if (!seconds) {
        std::cerr << "kadrel bank: a time is written as 2026-12-08T09:30:00Z (UTC), not " << time << '\n';
        return 1;
    }
    const WorkingDirectory inDirectory(std::filesystem::path(bankFile).parent_path());
    HistoryQuery query;
    query.from = time;
    // Each balance as the first change at or after the time found it.
    Step step;
    step.detail = *seconds;
    const bool read = forEachTransaction(query, [&](const Transaction& transaction) {
        for (const JournalRecord& record : transaction) {
            if (record.kind != static_cast<uint8_t>(JournalKind::Reset)) step.add(record.name, record.before, true);
        }
    });
    if (!read) return 1;
    return carryOut(step.changes.empty() ? std::vector<Step>{} : std::vector<Step>{step}, JournalCause::Rollback,
                    apply);
}

}  // namespace kadrel::tools
