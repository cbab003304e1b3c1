// The economy's figures for kadrel report, gathered in one pass over the
// history and the journal: memory bounded by the accounts of the bank and a
// few thousand time buckets, however many changes the history holds.
#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "accounts/ledger.h"
#include "tools/bank_view.h"
#include "tools/time_range.h"

namespace kadrel::tools {

// Every number a record's cause can carry: a newer build's are counted too.
constexpr size_t causeCount = 256;

// Credits that came into and went out of the accounts in one stretch of time.
struct TimeBucket {
    int64_t created[causeCount] = {};
    int64_t destroyed[causeCount] = {};  // negative
};

struct ItemSales {
    int64_t purchases = 0;
    int64_t spent = 0;
};

// One transaction of an operator or the bank tool.
struct OperatorAction {
    uint64_t transaction = 0;
    int64_t time = 0;
    uint8_t cause = 0;
    std::string by;
    std::string whom;  // the account, when one was changed
    int64_t accounts = 0;
    int64_t moved = 0;
    std::vector<int64_t> details;  // the distinct details: what an undo reversed, the time a rollback went to
};

struct PlayerFlow {
    int64_t earned = 0;  // credits that came in from play, not from an operator or the bank tool
    int64_t spent = 0;   // credits paid in the shop, as a positive number
};

// Each account's flow in 8 bytes, the rare one past 32 bits kept aside: a
// million accounts stay within the page's memory.
class AccountFlows {
public:
    explicit AccountFlows(uint32_t accounts) : small(accounts) {}
    void add(uint32_t account, int64_t earned, int64_t spent);
    PlayerFlow at(uint32_t account) const;

private:
    static constexpr uint32_t aside = UINT32_MAX;
    struct Small {
        uint32_t earned = 0, spent = 0;
    };
    std::vector<Small> small;
    std::map<uint32_t, PlayerFlow> large;
};

// Takes whole transactions, as the read side hands them on.
class EconomyTally {
public:
    // Bucket widths tried in turn, each a whole number of the one before, so
    // that the span of the changes in the range stays under a bucket count
    // a narrow screen can still draw.
    static constexpr int64_t widths[] = {1, 10, 60, 600, 3600, 21600, 86400};
    static constexpr int64_t mostBuckets = 150;
    static constexpr size_t keptActions = 500;

    EconomyTally(const Ledger& bank, TimeRange range) : range(range), players(bank.size()), bank(bank) {}

    void take(std::span<const JournalRecord> transaction);
    // Adds the flows still waiting for their accounts; after the last take().
    void finish();

    const TimeRange range;
    int64_t width = widths[0];
    std::map<int64_t, TimeBucket> buckets;  // by the bucket's start, in seconds
    int64_t movedAfterRange = 0;
    int64_t movedInRange = 0;
    uint64_t changesInRange = 0;
    uint64_t changesRead = 0;
    int64_t firstTime = 0, lastTime = 0;  // of every change read, in range or not
    int64_t causeCreated[causeCount] = {};
    int64_t causeDestroyed[causeCount] = {};
    uint64_t causeChanges[causeCount] = {};
    std::map<std::pair<int64_t, std::string>, ItemSales> items;  // by section number and name
    AccountFlows players;                                        // by account index
    std::map<std::string, PlayerFlow> formerPlayers;             // names no account holds now
    std::deque<OperatorAction> actions;                          // the newest keptActions
    uint64_t actionCount = 0;

private:
    // Whether the change was counted in the range.
    bool tallyChange(const JournalRecord& record, int64_t moved);
    void addFlow(const JournalRecord& record, int64_t earned, int64_t spent);
    void addToBucket(int64_t time, uint8_t cause, int64_t moved);
    void coarsen();

    void addFlows();

    const Ledger& bank;
    // Flows wait here to have their accounts looked up a batch at a time.
    struct Flow {
        char name[20];
        int64_t earned, spent;
    };
    static constexpr size_t flowBatch = 64;
    std::vector<Flow> flows;
    std::vector<NameKey> flowKeys;
    TimeBucket* lastBucket = nullptr;
    int64_t lastBucketStart = 0;
};

// The start of the bucket of `time` at `width` seconds.
inline int64_t bucketStart(int64_t time, int64_t width) {
    const int64_t rest = time % width;
    return time - (rest < 0 ? rest + width : rest);
}

}  // namespace kadrel::tools
