#include "tools/sync/ship_up.h"


#include "accounts/bank_reader.h"
#include "tools/sync/balances.h"
#include "tools/sync/bring_down.h"

namespace kadrel::tools::sync {

namespace {

// Records per database transaction: large enough that a commit's flush is
// shared by many, small enough to keep the rows locked briefly.
constexpr size_t batchRecords = 2000;
// Records one pass ships at most; the next pass goes on from there.
constexpr size_t passRecords = 100 * batchRecords;

class Collector final : public TransactionVisitor {
public:
    Collector(Pending& into, size_t keep) : into(into), keep(keep) {}
    void transaction(std::span<const JournalRecord> records) override {
        // Where the walk began, whoever made the first change.
        if (into.first == 0) into.first = records.front().sequence;
        into.last = records.back().sequence;
        // Another folder's transaction, brought down: the economy has it.
        if (records.back().kind == static_cast<uint8_t>(JournalKind::Arrived)) return;
        if (into.records == 0) into.oldestTime = records.front().time;
        if (into.records < keep) into.kept.emplace_back(records.begin(), records.end());
        into.records += records.size();
    }

private:
    Pending& into;
    size_t keep;
};

// One batch, with the cursor's move from `origin.shippedThrough` to `through`.
bool shipBatch(EconomyDb& db, Origin& origin, const std::vector<JournalRecord>& records, long long through,
               std::string& failure) {
    Column number, kind, cause, ends, made, detail, name, party, amount, before, after;
    for (const JournalRecord& record : records) {
        number.add(static_cast<long long>(record.sequence));
        kind.add(record.kind);
        cause.add(record.cause);
        ends.add((record.flags & endsTransaction) != 0 ? 1 : 0);
        made.add(record.time);
        detail.add(record.detail);
        name.addBytes(fieldBytes(record.name));
        party.addBytes(fieldBytes(record.party));
        amount.add(record.amount);
        before.add(record.before);
        after.add(record.after);
    }
    const auto rollBack = [&] {
        std::string ignored;
        db.exec("ROLLBACK", {}, ignored);
        return false;
    };
    if (!db.exec("BEGIN", {}, failure)) return false;
    // The cursor's row first: it is locked until the commit, and a cursor
    // moved by anybody else means this batch is not the next one.
    const QueryResult moved = db.run(
        "UPDATE origins SET shipped_through = $2, shipped_at = now() WHERE origin = $1 AND shipped_through = $3",
        {std::to_string(origin.id), std::to_string(through), std::to_string(origin.shippedThrough)});
    if (!moved.ok()) {
        failure = moved.error();
        return rollBack();
    }
    if (moved.affected() != 1) {
        failure = "the economy's cursor of this folder moved under it: is another sync program serving it?";
        return rollBack();
    }
    const std::string columns = "string_to_array($2, ',')::bigint[], string_to_array($3, ',')::smallint[], "
                                "string_to_array($4, ',')::smallint[], string_to_array($5, ',')::integer[], "
                                "string_to_array($6, ',')::bigint[], string_to_array($7, ',')::bigint[], "
                                "string_to_array($8, ','), string_to_array($9, ','), "
                                "string_to_array($10, ',')::integer[], string_to_array($11, ',')::integer[], "
                                "string_to_array($12, ',')::integer[]";
    // The balances first: the rows are given positions last, so that the
    // lock that orders them is held only for the insert and the commit.
    if (!applyToBalances(db, records, failure) || !orderPositions(db, failure) ||
        !db.exec("INSERT INTO changes (origin, number, kind, cause, ends, made, detail, name, party, amount, before, "
                 "after) SELECT $1, n, k, c, e <> 0, m, d, " + columnBytes("na") + ", " + columnBytes("pa") +
                     ", a, b, af FROM unnest(" + columns + ") AS t(n, k, c, e, m, d, na, pa, a, b, af) ORDER BY n",
                 {std::to_string(origin.id), number.text(), kind.text(), cause.text(), ends.text(), made.text(),
                  detail.text(), name.text(), party.text(), amount.text(), before.text(), after.text()},
                 failure) ||
        !announceChanges(db, origin.id, failure) || !db.exec("COMMIT", {}, failure)) {
        return rollBack();
    }
    origin.shippedThrough = through;
    return true;
}

}  // namespace

bool findOrigin(EconomyDb& db, const std::string& key, Origin& origin, std::string& failure) {
    const QueryResult found =
        db.run("SELECT origin, shipped_through, opened_through FROM origins WHERE key = $1", {key});
    if (!found.ok()) {
        failure = found.error();
        return false;
    }
    failure.clear();
    if (found.rows() != 1) return false;
    origin = {found.number(0, 0), found.number(0, 1), found.number(0, 2)};
    return true;
}

Pending pendingTransactions(uint64_t after, size_t keep, bool wholeHistory) {
    Pending pending;
    pending.last = after;
    Collector collector(pending, keep);
    // The journal alone, as a rule; the history too where the journal no
    // longer reaches back to the cursor (a checkpoint filed what came next),
    // and where what the journal gave does not go on from the cursor: a
    // checkpoint filing the journal's first records at this moment leaves
    // them to the history, which a walk of the journal alone passes over.
    WalkEnd end = walkTransactions(collector, after, true);
    if (wholeHistory || end.journalFirstSequence == 0 || end.journalFirstSequence > after + 1 ||
        (pending.first != 0 && pending.first != after + 1)) {
        pending = Pending{};
        pending.last = after;
        end = walkTransactions(collector, after);
    }
    pending.passedOver = std::move(end.problems);
    return pending;
}

std::optional<bool> followsEconomy(EconomyDb& db, const Origin& origin, std::string& failure) {
    // The opening's own number has no row: nothing to compare before the first shipment.
    if (origin.shippedThrough <= origin.openedThrough) return true;
    const std::string number = std::to_string(origin.shippedThrough);
    const QueryResult row = db.run("SELECT kind, cause, made, detail, encode(name, 'hex'), encode(party, 'hex'), amount, "
                                   "before, after FROM changes WHERE origin = $1 AND number = $2",
                                   {std::to_string(origin.id), number});
    if (!row.ok()) {
        failure = row.error();
        return std::nullopt;
    }
    if (row.rows() != 1) {
        failure = "the economy lacks this folder's change " + number + ", which it counts as shipped";
        return false;
    }
    // The cursor's change ends its transaction: past the one before it, it
    // comes alone. Where a checkpoint is filing it at this moment, the
    // journal alone may not show it: the history is then read whole.
    const auto before = static_cast<uint64_t>(origin.shippedThrough - 1);
    Pending pending = pendingTransactions(before, 1);
    if (pending.kept.empty()) pending = pendingTransactions(before, 1, true);
    const JournalRecord* mine = pending.kept.empty() ? nullptr : &pending.kept.front().front();
    const bool same = mine != nullptr && mine->sequence == static_cast<uint64_t>(origin.shippedThrough) &&
                      row.number(0, 0) == mine->kind && row.number(0, 1) == mine->cause && row.number(0, 2) == mine->time &&
                      row.number(0, 3) == mine->detail && row.text(0, 4) == hexText(fieldBytes(mine->name)) &&
                      row.text(0, 5) == hexText(fieldBytes(mine->party)) && row.number(0, 6) == mine->amount &&
                      row.number(0, 7) == mine->before && row.number(0, 8) == mine->after;
    if (same) return true;
    failure = "this folder's change " + number + " is not the one the economy holds from it: was the folder restored "
              "from an older backup, or given another folder's Quorlen.sync? Nothing is shipped";
    return false;
}

long long shipPending(EconomyDb& db, Origin& origin, ReadProblems& passedOver, std::string& failure) {
    Pending read = pendingTransactions(static_cast<uint64_t>(origin.shippedThrough), passRecords);
    passedOver = std::move(read.passedOver);
    const std::vector<Transaction>& pending = read.kept;
    long long shipped = 0;
    std::vector<JournalRecord> batch;
    for (size_t i = 0; i < pending.size(); ++i) {
        batch.insert(batch.end(), pending[i].begin(), pending[i].end());
        if (i + 1 < pending.size() && batch.size() + pending[i + 1].size() <= batchRecords) continue;
        if (!shipBatch(db, origin, batch, static_cast<long long>(batch.back().sequence), failure)) return -1;
        shipped += static_cast<long long>(batch.size());
        batch.clear();
    }
    return shipped;
}

}  // namespace kadrel::tools::sync
