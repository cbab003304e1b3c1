// Gathers the figures of kadrel report, one change at a time.
#include "tools/report/economy_tally.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace kadrel::tools {

namespace {

// An operator's command or the bank tool's change; not a cause a newer build wrote.
bool isOperatorAction(uint8_t cause) {
    const CauseEntry* entry = causeEntry(cause);
    return entry != nullptr && entry->kind != CauseClass::Game;
}

}  // namespace

void EconomyTally::take(std::span<const JournalRecord> transaction) {
    // A transaction brought down from another machine ends in a record that
    // moves no balance and is no change of its own.
    transaction = transaction.first(static_cast<size_t>(
        std::find_if(transaction.begin(), transaction.end(), [](const JournalRecord& r) { return !concernsBalance(r); }) -
        transaction.begin()));
    if (transaction.empty()) return;
    bool inRange = false;
    for (const JournalRecord& record : transaction) {
        // A reset's own record moves nothing: the cleared records beside it do.
        const int64_t moved = record.kind == static_cast<uint8_t>(JournalKind::Reset) ? 0 : movedBy(record);
        inRange = tallyChange(record, moved) || inRange;
    }
    const JournalRecord& first = transaction.front();
    if (!inRange || !isOperatorAction(first.cause)) return;
    ++actionCount;
    OperatorAction& action = actions.emplace_back(
        OperatorAction{first.sequence, first.time, first.cause, fieldText(first.party), "", 0, 0, {}});
    for (const JournalRecord& record : transaction) {
        if (record.kind == static_cast<uint8_t>(JournalKind::Reset)) continue;
        action.whom = ++action.accounts == 1 ? fieldText(record.name) : "";
        action.moved += movedBy(record);
        if (std::find(action.details.begin(), action.details.end(), record.detail) == action.details.end()) {
            action.details.push_back(record.detail);
        }
    }
    if (actions.size() > keptActions) actions.pop_front();
}

bool EconomyTally::tallyChange(const JournalRecord& record, int64_t moved) {
    if (changesRead++ == 0) firstTime = record.time;
    lastTime = record.time;
    if (record.time < range.from) return false;
    if (record.time >= range.to) {
        movedAfterRange += moved;
        return false;
    }
    ++changesInRange;
    movedInRange += moved;
    ++causeChanges[record.cause];
    (moved > 0 ? causeCreated : causeDestroyed)[record.cause] += moved;
    addToBucket(record.time, record.cause, moved);
    const bool purchase = record.cause == static_cast<uint8_t>(JournalCause::Purchase);
    if (purchase) {
        ItemSales& item = items[{record.detail, fieldText(record.party)}];
        ++item.purchases;
        item.spent -= moved;
    }
    // Earnings come from play: what operators and the bank tool moved is
    // theirs, in the operators' table.
    const int64_t earned = moved > 0 && !isOperatorAction(record.cause) ? moved : 0;
    const int64_t spent = purchase && moved < 0 ? -moved : 0;
    if (earned > 0 || spent > 0) addFlow(record, earned, spent);
    return true;
}

void EconomyTally::addFlow(const JournalRecord& record, int64_t earned, int64_t spent) {
    Flow& flow = flows.emplace_back(Flow{{}, earned, spent});
    std::memcpy(flow.name, record.name, sizeof flow.name);
    flowKeys.push_back(nameKeyOfField(record.name));
    if (flows.size() == flowBatch) addFlows();
}

void EconomyTally::finish() { addFlows(); }

// To the account the plug-in finds by the name, or by name when none holds it.
void EconomyTally::addFlows() {
    int64_t accounts[flowBatch];
    bank.firstIndices(flowKeys, {accounts, flows.size()});
    for (size_t i = 0; i < flows.size(); ++i) {
        if (accounts[i] >= 0) {
            players.add(static_cast<uint32_t>(accounts[i]), flows[i].earned, flows[i].spent);
            continue;
        }
        PlayerFlow& former = formerPlayers[fieldText(flows[i].name)];
        former.earned += flows[i].earned;
        former.spent += flows[i].spent;
    }
    flows.clear();
    flowKeys.clear();
}

void AccountFlows::add(uint32_t account, int64_t earned, int64_t spent) {
    Small& flow = small[account];
    if (flow.earned != aside && flow.earned + earned < aside && flow.spent + spent < aside) {
        flow.earned += static_cast<uint32_t>(earned);
        flow.spent += static_cast<uint32_t>(spent);
        return;
    }
    PlayerFlow& kept = large[account];
    if (flow.earned != aside) kept = {flow.earned, flow.spent};
    flow.earned = aside;
    kept.earned += earned;
    kept.spent += spent;
}

PlayerFlow AccountFlows::at(uint32_t account) const {
    const Small& flow = small[account];
    return flow.earned == aside ? large.at(account) : PlayerFlow{flow.earned, flow.spent};
}

void EconomyTally::addToBucket(int64_t time, uint8_t cause, int64_t moved) {
    const int64_t start = bucketStart(time, width);
    if (lastBucket == nullptr || start != lastBucketStart) {
        lastBucket = &buckets[start];
        lastBucketStart = start;
        while (width < widths[std::size(widths) - 1] &&
               (buckets.rbegin()->first - buckets.begin()->first) / width >= mostBuckets) {
            coarsen();
        }
    }
    (moved > 0 ? lastBucket->created : lastBucket->destroyed)[cause] += moved;
}

// The buckets at the next width: a long range is drawn by the hour or day.
void EconomyTally::coarsen() {
    for (size_t next = 0; next + 1 < std::size(widths); ++next) {
        if (widths[next] == width) {
            width = widths[next + 1];
            break;
        }
    }
    std::map<int64_t, TimeBucket> merged;
    for (const auto& [start, bucket] : buckets) {
        TimeBucket& into = merged[bucketStart(start, width)];
        for (size_t cause = 0; cause < causeCount; ++cause) {
            into.created[cause] += bucket.created[cause];
            into.destroyed[cause] += bucket.destroyed[cause];
        }
    }
    buckets = std::move(merged);
    lastBucketStart = bucketStart(lastBucketStart, width);
    lastBucket = &buckets[lastBucketStart];
}

}  // namespace kadrel::tools
