// How long another bot's !creds waits while one bot writes the whole bank of
// 1,000,000 accounts. Bot B, on the same files in its own thread, runs
// begin(), a look-up and end() a millisecond apart; bot A does one award and
// then the operation once per iteration. Comparing two benchmarks is not
// something the library does, so each line reports B's longest wait, the
// operation's mean duration and their ratio, and the two lines of one run are
// read side by side. RewriteLockWait is the reference: a rewrite holds the
// lock for its whole write on purpose. B shares the process, and so the heap,
// with A's million accounts, as two bots of one host do.
//
// A call of B counts when it overlaps the operation, and so does B's first
// call begun after it: that one catches up with the new bank, by a full
// reload if need be, which is waiting the operation causes. polls_overlapping
// shows that B did ask meanwhile; polls_inside counts the calls that began
// and ended while the operation ran, none while it holds the lock throughout;
// polls_refused those that gave up on the lock and asked again, which the
// wait includes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "accounts/bank_format.h"
#include "accounts/journal_format.h"
#include "bench_support.h"

namespace kadrel::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t bankAccounts = 1000000;
constexpr const char* awardedName = "Pilot500000";
constexpr auto pollPause = std::chrono::milliseconds(1);

// Both operations fold the journal into the bank: a journal back to its bare
// header shows that the operation wrote the bank and did not give up.
bool journalFolded() { return std::filesystem::file_size(bank::journalFileName) == currentLayout.headerSize; }

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

class SilentReporter final : public BankReporter {
public:
    void report(const char*) override {}
};

struct Poll {
    Clock::time_point start;
    Clock::time_point end;
    bool ready;  // false: B gave up on the lock, and asks again
};

// Bot B: its own ledger and link to the bank, asking for a balance until
// stopped, every call logged.
class Poller {
public:
    Poller() : bank(ledger, reporter, 2) {
        bank.load();
        thread = std::thread([this] { run(); });
    }
    ~Poller() { stop(); }

    void stop() {
        stopping = true;
        if (thread.joinable()) thread.join();
    }

    // Only before the thread starts or after it stopped.
    bool loaded() const { return ledger.size() == bankAccounts; }
    int32_t credits() const { return ledger.find(awardedName)->credits; }

    // Blocks until a call that began after `moment` has ended with the bank
    // ready, then hands over the log and starts it afresh.
    std::vector<Poll> takeAfter(Clock::time_point moment) {
        while (latestEndedStart.load() <= moment.time_since_epoch().count()) std::this_thread::sleep_for(pollPause);
        const std::lock_guard guard(mutex);
        std::vector<Poll> taken;
        taken.swap(log);
        return taken;
    }

private:
    void run() {
        while (!stopping) {
            const Clock::time_point start = Clock::now();
            bank.begin();
            // As !creds does: no balance while the bank cannot be read.
            const bool ready = bank.ready();
            if (ready) benchmark::DoNotOptimize(ledger.find(awardedName));
            bank.end();
            const Clock::time_point end = Clock::now();
            {
                const std::lock_guard guard(mutex);
                log.push_back({start, end, ready});
            }
            if (ready) latestEndedStart = start.time_since_epoch().count();
            std::this_thread::sleep_for(pollPause);
        }
    }

    SilentReporter reporter;
    Ledger ledger;
    BankJournal bank;
    std::mutex mutex;
    std::vector<Poll> log;
    std::atomic<Clock::rep> latestEndedStart{0};
    std::atomic<bool> stopping{false};
    std::thread thread;
};

void measureLockWait(benchmark::State& state, const std::function<bool(BotInstance&)>& operation) {
    ScratchDirectory scratch;
    auto bot = botWithLedger(bankAccounts);
    bot->saveBank();
    bot->loadBank();
    Poller poller;
    if (!poller.loaded()) {
        state.SkipWithError("the second bot did not load the bank");
        return;
    }

    Clock::duration longestWait{};
    Clock::duration totalOperation{};
    size_t overlapping = 0;
    size_t inside = 0;
    size_t refused = 0;
    bool unseen = false;
    int32_t round = 0;
    for (auto _ : state) {
        bot->awardCredits(++round, awardedName, {});
        const Clock::time_point start = Clock::now();
        const bool done = operation(*bot);
        const Clock::time_point end = Clock::now();
        if (!done) {
            state.SkipWithError("the operation failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        totalOperation += end - start;

        // A call that gave up on the lock (a slow disk can hold it past the
        // lock's patience within one process) is waiting too: the wait runs
        // from its start to the end of the next call that got a balance.
        size_t overlappingNow = 0;
        bool caughtUp = false;
        std::optional<Clock::time_point> waitingSince;
        for (const Poll& poll : poller.takeAfter(end)) {
            if (poll.end <= start || caughtUp) continue;
            if (poll.start < end) ++overlappingNow;
            if (!poll.ready) {
                ++refused;
                if (!waitingSince) waitingSince = poll.start;
                continue;
            }
            caughtUp = poll.start > end;
            longestWait = std::max(longestWait, poll.end - waitingSince.value_or(poll.start));
            waitingSince.reset();
            if (poll.start >= start && poll.end <= end) ++inside;
        }
        unseen = unseen || overlappingNow == 0;
        overlapping += overlappingNow;
    }
    poller.stop();
    if (state.error_occurred()) return;
    if (unseen) state.SkipWithError("the second bot asked nothing while an operation ran");
    if (poller.credits() != bot->accounts.find(awardedName)->credits) {
        state.SkipWithError("the second bot missed the first bot's awards");
    }

    const double iterations = static_cast<double>(state.iterations());
    const double operationMs = milliseconds(totalOperation) / iterations;
    state.counters["wait_ms"] = milliseconds(longestWait);
    state.counters["op_ms"] = operationMs;
    state.counters["wait_per_op"] = milliseconds(longestWait) / operationMs;
    state.counters["polls_overlapping"] = static_cast<double>(overlapping) / iterations;
    state.counters["polls_inside"] = static_cast<double>(inside) / iterations;
    state.counters["polls_refused"] = static_cast<double>(refused) / iterations;
}

void CheckpointLockWait(benchmark::State& state) {
    measureLockWait(state, [](BotInstance& bot) {
        bot.saveBank();
        return journalFolded();
    });
}

void RewriteLockWait(benchmark::State& state) {
    measureLockWait(state,
                    [](BotInstance& bot) { return bot.bank.rewrite([](Ledger&) { return true; }) && journalFolded(); });
}

BENCHMARK(CheckpointLockWait)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(RewriteLockWait)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
}  // namespace kadrel::bench
