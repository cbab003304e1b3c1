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

// Shows each balance the plan changes, as it is and as it ends, and counts
// those that go below zero.
class PlanShown {
public:
    void line(const std::string& name, int32_t before, int32_t after) {
        if (before == after) return;
        ++changed;
        std::cout << paddedColumn(shownName(name), 20) << std::right << std::setw(12) << before << " -> "
                  << std::setw(11) << after;
        if (after < 0) {
            ++belowZero;
            std::cout << "  below zero: the credits were spent";
        }
        std::cout << '\n';
    }

    int end(bool apply) const {
        std::cout << changed << (changed == 1 ? " balance" : " balances") << " change, " << belowZero
                  << (belowZero == 1 ? " goes" : " go") << " below zero\n";
        std::cout << (apply ? "Applied.\n" : "Nothing was changed: add --apply to make these changes.\n");
        return 0;
    }

private:
    size_t changed = 0;
    size_t belowZero = 0;
};

int cannotRead() {
    std::cerr << "kadrel bank: cannot read " << bank::fileName << " with its journal; nothing was changed\n";
    return 1;
}

bool written(SharedBank& shared, bool apply) {
    if (!apply || shared.bank.commit()) return true;
    std::cerr << "kadrel bank: cannot write " << bank::journalFileName << "; this step and the rest were not made\n";
    return false;
}

// The plan applied to the balances as they are now, and shown; with `apply`
// under the journal's lock and written, a step a transaction.
int carryOut(const std::vector<Step>& steps, JournalCause cause, bool apply) {
    if (steps.empty()) {
        std::cout << "nothing to change\n";
        return 0;
    }
    // A plan only reads: it takes no lock and needs no right to write.
    SharedBank shared;
    if (!shared.load(apply)) return 1;
    const BankJournal::Hold hold(shared.bank);
    if (!shared.bank.ready()) return cannotRead();
    // A balance that several steps change shows once: as it was before the
    // first, as it is after the last.
    struct Line {
        std::string name;
        int32_t before = 0;
        int32_t after = 0;
    };
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
        if (!written(shared, apply)) return 1;
    }
    PlanShown shown;
    for (const Line& line : lines) shown.line(line.name, line.before, line.after);
    return shown.end(apply);
}

// What a rollback sets each balance to: the balance the first change at or
// after the time found. Kept by the place in the ledger of the account that
// holds the name, so that a plan over every account of a large bank costs a
// number each; a name that no account holds now (an import left it out)
// waits by name in `others`.
class RollbackPlan {
public:
    explicit RollbackPlan(const Ledger& ledger)
        : ledger(ledger), clears(ledger.clears()), wanted(ledger.size()), known(ledger.size()) {}

    void take(const Transaction& transaction) {
        for (const JournalRecord& record : transaction) {
            if (record.kind == static_cast<uint8_t>(JournalKind::Reset)) continue;
            const int64_t at = ledger.firstIndex(nameKeyOfField(record.name));
            if (at < 0) {
                others.add(record.name, record.before, true);
                continue;
            }
            const auto index = static_cast<size_t>(at);
            if (index >= known.size()) {
                wanted.resize(index + 1);
                known.resize(index + 1);
            }
            if (!known[index]) {
                known[index] = true;
                wanted[index] = record.before;
            }
        }
    }

    // Whether the places still name the accounts they named when planned.
    bool placesHold() const { return ledger.clears() == clears; }

    // Under the lock; the names kept aside last, being the earlier changes.
    int carryOut(SharedBank& shared, int64_t time, bool apply) const {
        const ChangeCause why{JournalCause::Rollback, "", time};
        PlanShown shown;
        bool any = false;
        for (size_t index = 0; index < known.size(); ++index) {
            if (!known[index]) continue;
            const CreditAccount& account = ledger.at(static_cast<uint32_t>(index));
            const std::string name = fieldText(account.name);
            any = true;
            shown.line(name, account.credits, wanted[index]);
            if (apply && account.credits != wanted[index]) {
                shared.move(name, static_cast<int64_t>(wanted[index]) - account.credits, why, true);
            }
        }
        for (const Change& change : others.changes) {
            const int32_t now = shared.credits(change.name);
            any = true;
            shown.line(change.name, now, static_cast<int32_t>(change.value));
            if (apply && now != change.value) shared.move(change.name, change.value - now, why, true);
        }
        if (!any) {
            std::cout << "nothing to change\n";
            return 0;
        }
        return written(shared, apply) ? shown.end(apply) : 1;
    }

private:
    const Ledger& ledger;
    uint64_t clears;
    std::vector<int32_t> wanted;
    std::vector<bool> known;
    Step others;
};

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
    SharedBank shared;
    if (!shared.load(apply)) return 1;
    // The history is read without the lock, and under it only what came
    // since; should a checkpoint or a reload meanwhile spoil that, the plan
    // is made once more, the second time under the lock.
    for (int attempt = 0;; ++attempt) {
        const bool underLock = attempt > 0;
        std::optional<BankJournal::Hold> hold;
        if (underLock) hold.emplace(shared.bank);
        if (underLock && !shared.bank.ready()) return cannotRead();
        RollbackPlan plan(shared.ledger);
        HistoryRead read;
        const auto take = [&plan](const Transaction& transaction) { plan.take(transaction); };
        if (!forEachTransaction(query, take, &read)) return 1;
        if (!hold) hold.emplace(shared.bank);
        if (!shared.bank.ready()) return cannotRead();
        if (underLock || (plan.placesHold() && forEachNewTransaction(query, read.lastRead, take))) {
            for (const ReadProblem& problem : read.problems) {
                std::cerr << "kadrel bank: " << problemText(problem) << '\n';
            }
            return plan.carryOut(shared, *seconds, apply);
        }
    }
}

}  // namespace kadrel::tools
