// Each system call of the bank failing in turn, once, at each step of an
// award, a spend, a catch-up and a checkpoint, with a second bot of the same
// bank running: after a restart the bank must hold exactly what the players
// were told, and a failure the bot cannot settle by itself is told in one
// status line, never twice. The calls fail through
// the platform's table of system calls, so the bots run in this process.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bank_model.h"
#include "host/bot_instance.h"
#include "host/instances.h"
#include "platform/system_calls.h"
#include "scratch_dir.h"
#include "request_collector.h"

#include <fcntl.h>

namespace kadrel::testing {
namespace {

using stand_in::PlayerRecord;

// Counts the calls made since the plan was armed and fails the chosen one.
struct FaultPlan {
    int made = 0;
    int failing = 0;  // 0: none fails
    const char* failed = nullptr;
} plan;

const platform::SystemCalls real = platform::systemCalls;

bool failsNow(const char* call) {
    if (++plan.made != plan.failing) return false;
    plan.failed = call;
    errno = EIO;
    return true;
}

// A failing write leaves the first half of its bytes behind, as a disk that
// fills up part-way does. An unlock never fails for real; failing it here
// would only hang the other bot.
const platform::SystemCalls faulty = {
    [](const char* path, int flags, unsigned mode) { return failsNow("open") ? -1 : real.open(path, flags, mode); },
    [](int file, const void* bytes, size_t size) -> intptr_t {
        if (!failsNow("write")) return real.write(file, bytes, size);
        real.write(file, bytes, size / 2);
        return -1;
    },
    [](int file, const void* bytes, size_t size, int64_t at) -> intptr_t {
        if (!failsNow("pwrite")) return real.pwrite(file, bytes, size, at);
        real.pwrite(file, bytes, size / 2, at);
        return -1;
    },
    [](int file) { return failsNow("fsync") ? -1 : real.fsync(file); },
    [](int file) { return failsNow("fdatasync") ? -1 : real.fdatasync(file); },
    [](int file, int64_t size) { return failsNow("ftruncate") ? -1 : real.ftruncate(file, size); },
    [](const char* from, const char* to) { return failsNow("rename") ? -1 : real.rename(from, to); },
    [](const char* from, const char* to) { return failsNow("link") ? -1 : real.link(from, to); },
    [](int file, int command, struct flock* range) {
        return range->l_type != F_UNLCK && failsNow("lock") ? -1 : real.lockRange(file, command, range);
    },
};

// The host, with the plug-in's code linked in rather than loaded, so that
// the bots use this program's table of system calls.
struct LinkedHost final : RequestCollector {
    LinkedHost()
        : RequestCollector(::talk, [](const std::string& fault) { ADD_FAILURE() << "the host refuses: " << fault; }) {}
    ~LinkedHost() { destroyInstances(); }
};

using Balances = std::map<std::string, int32_t>;

// What one step does, and what its replies say it changed. `reports` has a
// letter for each call the step makes, in order: 'r', its failure is told in
// a status line; '-', the step settles it by itself (a retry, or an
// announcement that already tells the outcome).
struct Step {
    const char* name;
    std::string reports;
    std::function<void(LinkedHost&, Balances&)> run;
};

const std::vector<Step> steps = {
    {"an award", "rr", [](LinkedHost& host, Balances& told) {
         host.prize(1, PlayerRecord("Carol"), 7);
         told["Carol"] += 7;
     }},
    {"a donation", "rr", [](LinkedHost& host, Balances& told) {
         if (host.reply(1, PlayerRecord("Alice"), "donate", "Bob:30") == "30 credits donated to Bob") {
             told["Alice"] -= 30;
             told["Bob"] += 30;
         }
     }},
    {"a catch-up", "r", [](LinkedHost& host, Balances&) {
         const std::string reply = host.reply(2, PlayerRecord("Dan"), "creds");
         if (reply.rfind("You have", 0) == 0) { EXPECT_EQ(reply, "You have 3 credits"); }
     }},
    {"a timed save", "rr---r-------------", [](LinkedHost& host, Balances&) { host.tick(1, saveInterval); }},
    {"a term save", "r---r-------------", [](LinkedHost& host, Balances&) { host.term(2); }},
};

struct Outcome {
    int calls = 0;
    Balances bank;
    Balances told;
    std::vector<std::string> statusLines;
};

// Two bots on {Alice 100}, a change of bot 1 for bot 2 to catch up with,
// then the step with the plan armed; then both save and stop, and a third
// bot reads what they left.
Outcome play(const Step& step, int failing) {
    ScratchDir scratch;
    scratch.write("credits.ini", "[Credits]\nPrize3=3\nPrize7=7\n");
    scratch.write(bankFileName(), bankBytes({{"Alice", 100}}));
    Outcome outcome;
    outcome.told = {{"Alice", 100}, {"Dan", 3}};
    {
        LinkedHost host;
        host.init(1);
        host.init(2);
        host.prize(1, PlayerRecord("Dan"), 3);
        plan = FaultPlan{0, failing, nullptr};
        platform::systemCalls = faulty;
        host.clearRequests();
        step.run(host, outcome.told);
        platform::systemCalls = real;
        outcome.calls = plan.made;
        // Bot 2 folds the journal first, so that bot 1 rebuilds its ledger
        // from the bank and what it could not write yet.
        host.tick(2, saveInterval);
        host.term(1);
        host.term(2);
        for (const std::string& text : host.texts()) {
            if (text.find(bankFileName()) != std::string::npos) outcome.statusLines.push_back(text);
        }
        host.init(3);
        host.term(3);
    }
    for (const BankRecord& record : parseBank(scratch.read(bankFileName()))) {
        outcome.bank[record.name] += record.credits;
    }
    for (Balances* kept : {&outcome.told, &outcome.bank}) std::erase_if(*kept, [](auto& a) { return a.second == 0; });
    return outcome;
}

TEST(BankFaults, EachFailingCallKeepsWhatPlayersWereToldAndIsReportedOnce) {
    for (const Step& step : steps) {
        const int calls = play(step, 0).calls;
        ASSERT_EQ(static_cast<size_t>(calls), step.reports.size()) << step.name;
        for (int failing = 1; failing <= calls; ++failing) {
            const Outcome outcome = play(step, failing);
            SCOPED_TRACE(std::string(step.name) + ", call " + std::to_string(failing) + " (" +
                         (plan.failed != nullptr ? plan.failed : "?") + ") failing");
            EXPECT_EQ(outcome.bank, outcome.told);
            const std::set<std::string> distinct(outcome.statusLines.begin(), outcome.statusLines.end());
            EXPECT_EQ(distinct.size(), outcome.statusLines.size()) << "a status line repeats";
            const char judged = step.reports[static_cast<size_t>(failing - 1)];
            EXPECT_EQ(outcome.statusLines.size(), judged == 'r' ? 1u : 0u);
        }
    }
}

}  // namespace
}  // namespace kadrel::testing
