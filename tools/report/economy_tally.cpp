// Gathers the figures of kadrel report, one change at a time.
#include "tools/report/economy_tally.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "tools/bank/bank_history.h"

namespace kadrel::tools {

namespace {

bool isOperatorAction(uint8_t cause) { return cause >= static_cast<uint8_t>(JournalCause::OperatorGive); }

}  // namespace

void EconomyTally::record(const JournalRecord& record) {
    // The journal may still hold what a checkpoint has just filed in the history.
    if (record.sequence <= lastSequence) return;
    lastSequence = record.sequence;
    const bool startsTransaction = !transactionOpen;
    transactionOpen = (record.flags & endsTransaction) == 0;
    if (startsTransaction) inAction = false;
    if (changesRead++ == 0) firstTime = record.time;
    lastTime = record.time;
    // A reset's own record moves nothing: the cleared records beside it do.
    const int64_t moved = record.kind == static_cast<uint8_t>(JournalKind::Reset) ? 0 : movedBy(record);
    if (record.time < range.from) return;
    if (record.time >= range.to) {
        movedAfterRange += moved;
        return;
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
    if (moved > 0 || (purchase && moved < 0)) {
        Flow& flow = waiting.emplace_back();
        std::memcpy(flow.name, record.name, sizeof flow.name);
        flow.earned = moved > 0 ? moved : 0;
        flow.spent = moved > 0 ? 0 : -moved;
        if (waiting.size() == AccountFinder::batch) finish();
    }

    if (startsTransaction && isOperatorAction(record.cause)) {
        inAction = true;
        ++actionCount;
        actions.push_back({record.sequence, record.time, record.cause, fieldText(record.party), "", 0, 0});
        if (actions.size() > keptActions) actions.pop_front();
    }
    if (!inAction) return;
    OperatorAction& action = actions.back();
    if (record.kind == static_cast<uint8_t>(JournalKind::Reset)) return;
    action.whom = ++action.accounts == 1 ? fieldText(record.name) : "";
    action.moved += moved;
}

void EconomyTally::finish() {
    const char(*names[AccountFinder::batch])[20] = {};
    int64_t accounts[AccountFinder::batch];
    for (size_t i = 0; i < waiting.size(); ++i) names[i] = &waiting[i].name;
    finder.find(names, waiting.size(), accounts);
    for (size_t i = 0; i < waiting.size(); ++i) {
        const Flow& flow = waiting[i];
        if (accounts[i] >= 0) {
            players.add(static_cast<uint32_t>(accounts[i]), flow.earned, flow.spent);
        } else {
            PlayerFlow& former = formerPlayers[std::string(flow.name, strnlen(flow.name, sizeof flow.name))];
            former.earned += flow.earned;
            former.spent += flow.spent;
        }
    }
    waiting.clear();
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

// Open addressing over the folded names, at most half full, holding only the
// first account of each name: the one the plug-in finds.
AccountFinder::AccountFinder(const Ledger& bank) : bank(bank) {
    uint64_t size = 16;
    while (size < 2ull * bank.size()) size *= 2;
    slots.assign(size, 0);
    mask = size - 1;
    for (uint32_t account = 0; account < bank.size(); ++account) {
        const NameKey key = nameKeyOfField(bank.at(account).name);
        uint64_t at = key.hash() & mask;
        while (slots[at] != 0 && !(nameKeyOfField(bank.at(slots[at] - 1).name) == key)) at = (at + 1) & mask;
        if (slots[at] == 0) slots[at] = account + 1;
    }
}

void AccountFinder::find(const char (*const names[])[20], size_t count, int64_t* accounts) const {
    NameKey keys[batch];
    uint64_t homes[batch];
    for (size_t i = 0; i < count; ++i) {
        keys[i] = nameKeyOfField(*names[i]);
        homes[i] = keys[i].hash() & mask;
        __builtin_prefetch(&slots[homes[i]]);
    }
    for (size_t i = 0; i < count; ++i) {
        if (slots[homes[i]] != 0) __builtin_prefetch(&bank.at(slots[homes[i]] - 1));
    }
    for (size_t i = 0; i < count; ++i) {
        uint64_t at = homes[i];
        while (slots[at] != 0 && !(nameKeyOfField(bank.at(slots[at] - 1).name) == keys[i])) at = (at + 1) & mask;
        accounts[i] = slots[at] == 0 ? -1 : static_cast<int64_t>(slots[at]) - 1;
    }
}

std::vector<bool> AccountFinder::foundAccounts() {
    std::vector<bool> found(bank.size());
    const char(*names[batch])[20];
    int64_t accounts[batch];
    for (uint32_t first = 0; first < bank.size(); first += batch) {
        const size_t count = std::min<size_t>(batch, bank.size() - first);
        for (size_t i = 0; i < count; ++i) names[i] = &bank.at(first + static_cast<uint32_t>(i)).name;
        find(names, count, accounts);
        for (size_t i = 0; i < count; ++i) found[first + i] = accounts[i] == first + static_cast<int64_t>(i);
    }
    std::vector<uint32_t>().swap(slots);
    return found;
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
