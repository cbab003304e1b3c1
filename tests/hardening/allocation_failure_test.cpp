// Memory that runs out part-way through a load, a save or a change of the bank.
// Each allocation of the step in turn is made to fail; once memory is back, the
// bank must hold every credit exactly once: none lost, none counted twice.
// The bots share the bank through its journal, so a change saved by one is
// in the other's ledger too.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "bank_model.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

const Ledger saved = {{"Alice", 100}, {"Bob", 50}, {"Carol", 7}};

struct Session {
    Session() { scratch.write(bankFileName(), bankBytes(saved)); }

    Ledger bank() const { return parseBank(scratch.read(bankFileName())); }

    void ticks(int count) {
        BotEvent tick{};
        tick.code = EventTick;
        for (int i = 0; i < count; ++i) first.dispatch(tick);
    }

    ScratchDir scratch;
    BotInstance first{1};
    BotInstance second{2};
    BotInstance third{3};
};

struct Scenario {
    const char* name;
    std::function<void(Session&)> arrange;
    std::function<void(Session&)> step;  // the part whose allocations fail
    std::function<void(Session&)> after;
    Ledger expected;
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

void saveFirst(Session& s) { s.first.saveBank(); }

// A save with nothing new, then one more change saved: a retried save must not
// count the failed one's changes again.
void saveAgainThenAwardAndSave(Session& s) {
    s.first.saveBank();
    s.first.awardCredits(1, "Alice", {});
    s.first.saveBank();
}

const Scenario scenarios[] = {
    {"SaveWithAnotherBotsChanges",
     [](Session& s) {
         s.first.loadBank();
         s.second.loadBank();
         s.second.awardCredits(5, "Bob", {});
         s.second.saveBank();
         s.first.awardCredits(10, "Alice", {});
         s.first.awardCredits(5, "Dave", {});
     },
     saveFirst,
     saveAgainThenAwardAndSave,
     {{"Alice", 111}, {"Bob", 55}, {"Carol", 7}, {"Dave", 5}}},
    {"SaveOfTheOnlyBot",
     [](Session& s) {
         s.first.loadBank();
         s.first.awardCredits(10, "Alice", {});
         s.first.awardCredits(5, "Dave", {});
     },
     saveFirst,
     saveAgainThenAwardAndSave,
     {{"Alice", 111}, {"Bob", 50}, {"Carol", 7}, {"Dave", 5}}},
    {"Load",
     [](Session&) {},
     [](Session& s) { s.first.loadBank(); },
     [](Session& s) {
         s.first.awardCredits(1, "Alice", {});
         s.first.awardCredits(1, "Eve", {});
         s.first.saveBank();
         s.first.awardCredits(1, "Bob", {});
         s.first.saveBank();
     },
     {{"Alice", 101}, {"Bob", 51}, {"Carol", 7}, {"Eve", 1}}},
    {"Changes",
     [](Session& s) {
         s.first.loadBank();
         s.second.loadBank();
         s.third.loadBank();
     },
     [](Session& s) {  // each the first change of its bot, with no room kept for it yet
         s.first.clearAccounts({});
         s.second.awardCredits(10, "Alice", {});
         s.third.deductCredits(5, "Bob", {});
     },
     [](Session& s) {
         s.first.clearAccounts({});
         s.first.awardCredits(1, "Eve", {});
         s.first.saveBank();
     },
     {{"Eve", 1}}},
    {"TimedSave",
     [](Session& s) {
         s.first.loadBank();
         s.first.awardCredits(10, "Alice", {});
         s.ticks(saveInterval - 1);
     },
     [](Session& s) { s.ticks(1); },
     [](Session& s) {
         s.first.awardCredits(1, "Bob", {});
         s.ticks(saveInterval);
     },
     {{"Alice", 110}, {"Bob", 51}, {"Carol", 7}}},
};

class AllocationFailure : public ::testing::TestWithParam<Scenario> {};

TEST_P(AllocationFailure, LosesAndDoublesNoCredit) {
    const Scenario& scenario = GetParam();
    long granted = 0;
    for (bool failed = true; failed; ++granted) {
        Session session;
        scenario.arrange(session);
        failAllocationAfter(granted);
        try {
            scenario.step(session);
        } catch (const std::bad_alloc&) {
        }
        failed = stopFailingAllocations();
        scenario.after(session);
        ASSERT_EQ(session.bank(), scenario.expected) << "with allocation " << granted << " of the step failing";
    }
    EXPECT_GT(granted, 1) << "the step allocates, so at least one run must have failed";
}

INSTANTIATE_TEST_SUITE_P(Bank, AllocationFailure, ::testing::ValuesIn(scenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
}  // namespace kadrel::testing
