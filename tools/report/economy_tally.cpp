// Gathers the figures of kadrel report, one change at a time.
#include "tools/report/economy_tally.h"

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
        const int64_t index = bank.firstIndex(record.name);
        PlayerFlow& flow = index >= 0 ? players[static_cast<size_t>(index)] : formerPlayers[fieldText(record.name)];
        (moved > 0 ? flow.earned : flow.spent) += moved > 0 ? moved : -moved;
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
