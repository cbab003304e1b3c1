#include "tools/bank/bank_undo.h"

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "accounts/bank_format.h"
#include "accounts/name_key.h"
#include "core/arithmetic.h"
#include "tools/bank/bank_text.h"
#include "tools/bank/shared_bank.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

bool isKind(const JournalRecord& record, JournalKind kind) { return record.kind == static_cast<uint8_t>(kind); }

// What a record moves a balance by before the ledger saturates it.
int64_t amountOf(const JournalRecord& record) {
    if (isKind(record, JournalKind::Add)) return record.amount;
    if (isKind(record, JournalKind::Subtract)) return -static_cast<int64_t>(record.amount);
    return 0;
}

int32_t clamped(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// A balance as the ledger leaves it after a transaction's records for one
// name, from `balance` before them.
int32_t appliedTo(int32_t balance, const Transaction& transaction, const NameKey& key) {
    for (const JournalRecord& record : transaction) {
        if (isKind(record, JournalKind::Reset)) {
            balance = 0;
        } else if (amountOf(record) != 0 && nameKeyOfField(record.name) == key) {
            balance = isKind(record, JournalKind::Add) ? saturatingAdd(balance, record.amount)
                                                       : saturatingSub(balance, record.amount);
        }
    }
    return balance;
}

// "transaction 12 (cgive, 2026-12-08T09:30:00Z)"
std::string named(const JournalRecord& first) {
    return "transaction " + std::to_string(first.sequence) + " (" + causeText(first.cause) + ", " +
           isoTime(first.time) + ")";
}

// A name's balance at a point of the history, found from what came after:
// its balance now less what moved it since, or, once a reset came after the
// point, what the reset took from it (its first cleared record, the account
// the ledger finds; nothing for a name it has none of) less what moved it in
// between.
struct AtPoint {
    int64_t moved = 0;
    bool anchored = false;

    void follow(const JournalRecord& record) {
        if (anchored) return;
        if (isKind(record, JournalKind::Cleared)) {
            anchor(record.before);
        } else {
            moved += amountOf(record);
        }
    }
    void anchor(int64_t takenByReset) {
        if (anchored) return;
        moved = takenByReset - moved;
        anchored = true;
    }
    int32_t value(int32_t now) const { return clamped(anchored ? moved : now - moved); }
};

// Shows each balance a plan changes, as it is and as it ends, and counts
// those that go from zero or more to below zero.
class PlanShown {
public:
    void line(const std::string& name, int32_t before, int32_t after) {
        if (before == after) return;
        ++changed;
        std::cout << paddedColumn(shownName(name), 20) << std::right << std::setw(12) << before << " -> "
                  << std::setw(11) << after;
        if (before >= 0 && after < 0) {
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

// Applied changes are on the disk before the plan says so.
int ended(SharedBank& shared, const PlanShown& shown, bool apply) {
    if (apply && !shared.flushJournal()) {
        std::cerr << "kadrel bank: cannot bring " << bank::journalFileName
                  << " to the disk; the changes are written but may be lost if the machine stops now\n";
        return 1;
    }
    return shown.end(apply);
}

// Refuses a plan that needs records the reader could not see: those numbered
// from `from` on, or any when `from` is 0. What the read passed over before
// them is told all the same.
bool seesEverything(const HistoryRead& read, uint64_t from) {
    std::string why;
    for (const ReadProblem& problem : read.problems) why += (why.empty() ? " (" : "; ") + problemText(problem);
    if (!why.empty()) why += ")";
    bool whole = true;
    for (const auto& [first, last] : read.missing) {
        if (from != 0 && last < from) continue;
        whole = false;
        std::cerr << "kadrel bank: "
                  << (first == last ? "record " + std::to_string(first)
                                    : "records " + std::to_string(first) + " to " + std::to_string(last))
                  << " cannot be read" << why << ", and the plan needs them; nothing was changed\n";
    }
    if (whole) {
        for (const ReadProblem& problem : read.problems) std::cerr << "kadrel bank: " << problemText(problem) << '\n';
    }
    return whole;
}

// Which undos reversed which transactions.
class Reversals {
public:
    void take(const JournalRecord& first) {
        if (first.cause == static_cast<uint8_t>(JournalCause::Undo) && first.detail > 0) {
            undoneBy[static_cast<uint64_t>(first.detail)] = first.sequence;
        }
    }

    // The undo of `transaction` that still stands, or 0: an undo stands
    // unless an undo of it stands, and the last undo of a chain stands.
    uint64_t standingUndo(uint64_t transaction) const {
        size_t length = 0;
        uint64_t first = 0;
        for (auto at = undoneBy.find(transaction); at != undoneBy.end(); at = undoneBy.find(at->second)) {
            if (length++ == 0) first = at->second;
        }
        return length % 2 == 1 ? first : 0;
    }

private:
    std::unordered_map<uint64_t, uint64_t> undoneBy;  // the last undo of each
};

// Every transaction the query picks, each with the balance of every name it
// changed just before it.
class UndoPlan {
public:
    explicit UndoPlan(const HistoryQuery& query) : single(!query.transaction.empty()) {}

    bool placesHold() const { return true; }

    void take(const Transaction& transaction, bool picked) {
        reversals.take(transaction.front());
        if (picked) pick(transaction);
        if (tracks.empty()) return;
        for (const JournalRecord& record : transaction) {
            if (isKind(record, JournalKind::Reset)) {
                // A name the reset has no cleared record of held nothing.
                for (auto& [key, track] : tracks) anchorPending(track, 0);
                continue;
            }
            const auto found = tracks.find(nameKeyOfField(record.name));
            if (found == tracks.end()) continue;
            Track& track = found->second;
            if (isKind(record, JournalKind::Cleared)) {
                anchorPending(track, record.before);
            } else {
                track.moved += amountOf(record);
            }
        }
    }

    // Under the lock, the ledger up to date with every record read.
    int carryOut(SharedBank& shared, const HistoryRead& read, const HistoryQuery& query, bool apply) {
        const uint64_t needed = single ? (picks.empty() ? std::stoull(query.transaction) : firstPicked) : 0;
        if (!seesEverything(read, needed)) return 1;
        if (single && picks.empty()) {
            std::cerr << "kadrel bank: there is no transaction " << query.transaction << "; nothing was changed\n";
            return 1;
        }
        bool refused = false;
        for (const Pick& pick : picks) {
            const uint64_t id = pick.transaction.front().sequence;
            const uint64_t undo = reversals.standingUndo(id);
            if (undo == 0 || picked(undo)) continue;
            std::cerr << "kadrel bank: transaction " << id << " was undone already, by transaction " << undo
                      << "; undo " << undo << " first to undo it again\n";
            refused = true;
        }
        if (refused) return 1;
        return steps(shared, apply);
    }

private:
    struct Track {
        int64_t moved = 0;
        std::vector<size_t> pending;  // points not yet past a reset
    };
    struct Point {
        NameKey key;
        std::string name;
        AtPoint at;
        int64_t movedThen = 0;  // the track's `moved` at the point
    };
    struct Pick {
        Transaction transaction;
        std::vector<size_t> points;
    };

    void anchorPending(Track& track, int64_t takenByReset) {
        for (const size_t index : track.pending) {
            Point& point = points[index];
            point.at.moved = track.moved - point.movedThen;
            point.at.anchor(takenByReset);
        }
        track.pending.clear();
    }

    void pick(const Transaction& transaction) {
        if (picks.empty()) firstPicked = transaction.front().sequence;
        Pick pick{transaction, {}};
        for (const JournalRecord& record : transaction) {
            if (isKind(record, JournalKind::Reset)) continue;
            const NameKey key = nameKeyOfField(record.name);
            const bool seen = std::any_of(pick.points.begin(), pick.points.end(),
                                          [&](size_t index) { return points[index].key == key; });
            if (seen) continue;
            Track& track = tracks[key];
            track.pending.push_back(points.size());
            pick.points.push_back(points.size());
            points.push_back({key, fieldText(record.name), {}, track.moved});
        }
        picks.push_back(std::move(pick));
    }

    bool picked(uint64_t transaction) const {
        return std::any_of(picks.begin(), picks.end(),
                           [&](const Pick& pick) { return pick.transaction.front().sequence == transaction; });
    }

    // Each pick reversed by a transaction of its own; a balance that several
    // change shows once, as it was before the first and after the last.
    int steps(SharedBank& shared, bool apply) {
        struct Line {
            std::string name;
            int32_t before = 0;
            int32_t after = 0;
        };
        std::vector<Line> lines;
        std::unordered_map<NameKey, size_t, NameKeyHash> lineOf;
        // Each point's balance from the balances now, before the plan moves any.
        std::vector<int32_t> before(points.size());
        for (size_t index = 0; index < points.size(); ++index) {
            Point& point = points[index];
            if (!point.at.anchored) point.at.moved = tracks[point.key].moved - point.movedThen;
            before[index] = point.at.value(shared.credits(point.name));
        }
        for (const Pick& pick : picks) {
            const JournalRecord& first = pick.transaction.front();
            bool moves = false;
            for (const size_t index : pick.points) {
                const Point& point = points[index];
                const int64_t did =
                    static_cast<int64_t>(appliedTo(before[index], pick.transaction, point.key)) - before[index];
                if (did == 0) continue;
                if (!moves) std::cout << "undoes " << named(first) << '\n';
                moves = true;
                const int32_t now = shared.credits(point.name);
                const auto [at, fresh] = lineOf.try_emplace(point.key, lines.size());
                if (fresh) lines.push_back({point.name, now, now});
                shared.move(point.name, -did, {JournalCause::Undo, "", static_cast<int64_t>(first.sequence)}, apply);
                lines[at->second].after = shared.credits(point.name);
            }
            if (moves && !written(shared, apply)) return 1;
        }
        if (lines.empty()) {
            std::cout << "nothing to change\n";
            return 0;
        }
        PlanShown plan;
        for (const Line& line : lines) plan.line(line.name, line.before, line.after);
        return ended(shared, plan, apply);
    }

    bool single;
    uint64_t firstPicked = 0;
    Reversals reversals;
    std::vector<Pick> picks;
    std::vector<Point> points;
    std::unordered_map<NameKey, Track, NameKeyHash> tracks;
};

// Where a rollback goes back to: before the first transaction at or after a
// time, or just after a transaction.
struct RollbackPoint {
    std::optional<int64_t> time;
    uint64_t transaction = 0;
};

// What a rollback sets each balance to: its balance at the point. Kept by
// the place in the ledger of the account that holds the name, so that a plan
// over every account of a large bank costs a number each; a name that no
// account holds now (an import left it out) waits by name in `others`.
class RollbackPlan {
public:
    RollbackPlan(const Ledger& ledger, const RollbackPoint& point)
        : ledger(ledger), point(point), clears(ledger.clears()), at(ledger.size()), known(ledger.size()) {}

    // Whether the places still name the accounts they named when planned.
    bool placesHold() const { return ledger.clears() == clears; }

    void take(const Transaction& transaction, bool) {
        const JournalRecord& first = transaction.front();
        if (!started) {
            if (point.time ? first.time < *point.time : first.sequence != point.transaction) return;
            started = true;
            firstUndone = point.time ? first.sequence : transaction.back().sequence + 1;
            if (!point.time) {
                detail = first.time;
                return;
            }
        }
        if (point.time && first.time < *point.time && disagrees == 0) disagrees = first.sequence;
        if (reversed++ == 0) firstReversed = first;
        lastReversed = first;
        for (const JournalRecord& record : transaction) {
            if (isKind(record, JournalKind::Reset)) {
                followWaiting();
                // A name first met past a reset held nothing before it.
                for (const uint32_t index : moving) at[index].anchor(0);
                for (auto& [key, other] : others) other.at.anchor(0);
                moving.clear();
                pastReset = true;
                continue;
            }
            waiting.push_back(record);
            waitingKeys.push_back(nameKeyOfField(record.name));
            if (waiting.size() == lookUpBatch) followWaiting();
        }
    }

    // Under the lock, the ledger up to date with every record read.
    int carryOut(SharedBank& shared, const HistoryRead& read, bool apply) {
        followWaiting();
        const uint64_t needed = started ? firstUndone - (point.time ? 1 : 0) : point.transaction;
        if (!seesEverything(read, needed)) return 1;
        if (!point.time && !started) {
            std::cerr << "kadrel bank: there is no transaction " << point.transaction << "; nothing was changed\n";
            return 1;
        }
        if (disagrees != 0) {
            std::cerr << "kadrel bank: the clock went back: transaction " << firstUndone << " is at or after "
                      << isoTime(*point.time) << ", transaction " << disagrees
                      << " after it is before; roll back to a transaction's number instead. Nothing was changed\n";
            return 1;
        }
        if (reversed == 0) {
            std::cout << "nothing to change\n";
            return 0;
        }
        std::cout << "reverses " << reversed << (reversed == 1 ? " transaction: " : " transactions: ")
                  << named(firstReversed);
        if (reversed > 1) std::cout << " to " << named(lastReversed);
        std::cout << '\n';
        const ChangeCause why{JournalCause::Rollback, "", point.time ? *point.time : detail};
        PlanShown shown;
        for (size_t index = 0; index < known.size(); ++index) {
            if (!known[index]) continue;
            const CreditAccount& account = ledger.at(static_cast<uint32_t>(index));
            const std::string name = fieldText(account.name);
            const int32_t wanted = at[index].value(account.credits);
            shown.line(name, account.credits, wanted);
            if (apply && account.credits != wanted) {
                shared.move(name, static_cast<int64_t>(wanted) - account.credits, why, true);
            }
        }
        for (const auto& [key, other] : others) {
            const int32_t now = shared.credits(other.name);
            const int32_t wanted = other.at.value(now);
            shown.line(other.name, now, wanted);
            if (apply && now != wanted) shared.move(other.name, static_cast<int64_t>(wanted) - now, why, true);
        }
        return written(shared, apply) ? ended(shared, shown, apply) : 1;
    }

private:
    struct Other {
        std::string name;
        AtPoint at;
    };

    // The records' accounts are looked up a batch at a time, whose probes
    // the ledger overlaps; then followed in their order.
    static constexpr size_t lookUpBatch = 16;

    void followWaiting() {
        int64_t places[lookUpBatch];
        ledger.firstIndices(waitingKeys, {places, waiting.size()});
        for (size_t i = 0; i < waiting.size(); ++i) follow(waiting[i], waitingKeys[i], places[i]);
        waiting.clear();
        waitingKeys.clear();
    }

    void follow(const JournalRecord& record, const NameKey& key, int64_t place) {
        AtPoint* balance = nullptr;
        bool fresh = false;
        if (place < 0) {
            const auto [found, added] = others.try_emplace(key, Other{fieldText(record.name), {}});
            balance = &found->second.at;
            fresh = added;
        } else {
            const auto index = static_cast<size_t>(place);
            if (index >= known.size()) {
                at.resize(index + 1);
                known.resize(index + 1);
            }
            balance = &at[index];
            fresh = !known[index];
            known[index] = true;
            if (fresh) moving.push_back(static_cast<uint32_t>(index));
        }
        if (fresh && pastReset) balance->anchor(0);
        balance->follow(record);
    }

    const Ledger& ledger;
    RollbackPoint point;
    uint64_t clears;
    std::vector<AtPoint> at;
    std::vector<bool> known;
    std::vector<uint32_t> moving;  // places met since the last reset
    std::unordered_map<NameKey, Other, NameKeyHash> others;
    std::vector<JournalRecord> waiting;  // records whose accounts are not yet looked up
    std::vector<NameKey> waitingKeys;
    bool started = false;
    bool pastReset = false;
    uint64_t firstUndone = 0;  // the first record the rollback reverses
    uint64_t disagrees = 0;    // a transaction after it, of a time before the point
    int64_t detail = 0;        // the time of the transaction rolled back to
    uint64_t reversed = 0;
    JournalRecord firstReversed{};
    JournalRecord lastReversed{};
};

// Reads every transaction into a fresh plan, then takes the journal's lock
// and reads what came since; should a checkpoint or a reload meanwhile spoil
// that, the plan is made once more, the second time under the lock from the
// start. `finish` runs under the lock.
// A plan that only shows reads as a reader does, taking no lock.
template <class Make, class Finish>
int planned(const std::string& bankFile, const HistoryQuery& query, bool apply, Make make, Finish finish) {
    SharedBank shared;
    if (!shared.load(apply)) return 1;
    for (int attempt = 0;; ++attempt) {
        const bool underLock = attempt > 0;
        std::optional<BankJournal::Hold> hold;
        if (underLock) hold.emplace(shared.bank);
        if (underLock && !shared.bank.ready()) return cannotRead();
        auto plan = make(shared.ledger);
        HistoryRead read;
        const auto take = [&plan](const Transaction& transaction, bool picked) { plan.take(transaction, picked); };
        if (!forEachMarkedTransaction(query, take, read)) return 1;
        if (!hold) hold.emplace(shared.bank);
        if (!shared.bank.ready()) return cannotRead();
        if (apply && shared.refusesEconomyChange(bankFile)) return 1;
        if (underLock || (plan.placesHold() && forEachNewMarkedTransaction(query, read.lastRead, take))) {
            return finish(plan, shared, read);
        }
    }
}

std::optional<RollbackPoint> rollbackPoint(const std::string& text) {
    RollbackPoint point;
    if ((point.time = parseIsoTime(text))) return point;
    const bool digits = !text.empty() && text.size() <= 18 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits && (point.transaction = std::stoull(text)) > 0) return point;
    std::cerr << "kadrel bank: roll back to a time, as 2026-12-08T09:30:00Z (UTC), or to a transaction's number, not "
              << text << '\n';
    return std::nullopt;
}

}  // namespace

int undoTransactions(const std::string& bankFile, const HistoryQuery& query, bool apply) {
    if (!hasHistory(bankFile)) return 1;
    if (query.transaction.empty() && query.name.empty() && query.operatorName.empty() && query.cause.empty() &&
        !query.range.given()) {
        std::cerr << "kadrel bank: name what to undo: a transaction, a player, an operator, a cause or a time range\n";
        return 1;
    }
    const WorkingDirectory inDirectory(std::filesystem::path(bankFile).parent_path());
    return planned(
        bankFile, query, apply, [&query](const Ledger&) { return UndoPlan(query); },
        [&](UndoPlan& plan, SharedBank& shared, const HistoryRead& read) {
            return plan.carryOut(shared, read, query, apply);
        });
}

int rollBack(const std::string& bankFile, const std::string& text, bool apply) {
    if (!hasHistory(bankFile)) return 1;
    const std::optional<RollbackPoint> point = rollbackPoint(text);
    if (!point) return 1;
    const WorkingDirectory inDirectory(std::filesystem::path(bankFile).parent_path());
    return planned(
        bankFile, HistoryQuery{}, apply, [&point](const Ledger& ledger) { return RollbackPlan(ledger, *point); },
        [&](RollbackPlan& plan, SharedBank& shared, const HistoryRead& read) {
            return plan.carryOut(shared, read, apply);
        });
}

}  // namespace kadrel::tools
