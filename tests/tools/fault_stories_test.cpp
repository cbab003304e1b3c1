// The shared economy's fault stories, against a PostgreSQL server of the
// test's own: three machines, each a folder with its host and its own kadrel
// sync, pay and spend while programs are killed, the database stops hard and
// the links to it are cut. After each story, once every folder has shipped,
// the economy's checks must hold.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <functional>
#include <thread>

#include "economy.h"

namespace kadrel::testing {
namespace {

using namespace std::chrono_literals;

struct Story {
    const char* name;
    int rounds;
    // What befalls the economy in a round, after its hosts were sent their steps.
    std::function<void(Economy&, std::mt19937&, int round)> fault;
};

void PrintTo(const Story& story, std::ostream* out) { *out << story.name; }

void pauseUpTo(std::mt19937& random, int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % milliseconds));
}

Machine& anyMachine(Economy& economy, std::mt19937& random) {
    return *economy.machines[random() % economy.machines.size()];
}

// Every tenth round, from the fifth, the economy works a second and a half
// without its database (`lose`, then `restore`); within seconds of its
// return, every folder has shipped all.
void outage(Economy& economy, std::mt19937& random, int round, const std::function<void()>& lose,
            const std::function<void()>& restore) {
    if (round % 10 != 5) return;
    lose();
    economy.play(random, 12);
    std::this_thread::sleep_for(1500ms);
    restore();
    EXPECT_TRUE(economy.converge(10s));
}

const Story stories[] = {
    {"SyncProgramKilledAtRandomPoints", 200,
     [](Economy& economy, std::mt19937& random, int) {
         Machine& machine = anyMachine(economy, random);
         pauseUpTo(random, 150);
         EXPECT_EQ(machine.sync->stop(SIGKILL), -1) << "it had stopped: " << machine.folder.read(".sync-log");
         machine.startSync();
     }},
    {"HostsAndSyncProgramKilledTogether", 30,
     [](Economy& economy, std::mt19937& random, int) {
         Machine& machine = anyMachine(economy, random);
         pauseUpTo(random, 40);
         machine.crash();
         machine.start();
     }},
    {"DatabaseStoppedHard", 30,
     [](Economy& economy, std::mt19937& random, int round) {
         outage(economy, random, round, [&] { ASSERT_TRUE(economy.server.stop()); },
                [&] { ASSERT_TRUE(economy.server.start()); });
     }},
    {"DatabaseUnreachable", 30,
     [](Economy& economy, std::mt19937& random, int round) {
         outage(
             economy, random, round, [&] { for (const auto& machine : economy.machines) machine->relay.cut(); },
             [&] { for (const auto& machine : economy.machines) machine->relay.heal(); });
     }},
};

class FaultStory : public ::testing::TestWithParam<Story> {
protected:
    static void SetUpTestSuite() { setpriority(PRIO_PROCESS, 0, 10); }
    ScratchDir scratch;
};

TEST_P(FaultStory, LeavesTheEconomyWhole) {
    Economy economy(3, {"Ann", "Bob", "Cat", "Dan"}, 300);
    if (!economy.server.installed()) GTEST_SKIP() << economy.server.failure();
    ASSERT_EQ(economy.server.failure(), "");
    for (const auto& machine : economy.machines) {
        ASSERT_TRUE(machine->join());
        machine->start();
    }
    std::mt19937 random(38);
    for (int round = 0; round < GetParam().rounds; ++round) {
        economy.play(random, 12);
        GetParam().fault(economy, random, round);
        for (const auto& machine : economy.machines) ASSERT_TRUE(machine->host->settle());
    }
    ASSERT_TRUE(economy.converge(30s));
    economy.check();
}

INSTANTIATE_TEST_SUITE_P(Stories, FaultStory, ::testing::ValuesIn(stories),
                         [](const ::testing::TestParamInfo<Story>& story) { return std::string(story.param.name); });

}  // namespace
}  // namespace kadrel::testing
