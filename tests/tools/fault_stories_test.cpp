// The shared economy's fault stories, against a PostgreSQL server of the
// test's own: three machines, each a folder with its host and its own kadrel
// sync, pay and spend while programs are killed, the database stops hard and
// the links to it are cut. After each story, once every folder has shipped,
// the economy's checks must hold.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <functional>
#include <map>
#include <regex>
#include <sstream>
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
// without its database (`lose`, then `restore`), every bot answering as
// ever; within seconds of its return, every folder has shipped all.
void outage(Economy& economy, std::mt19937& random, int round, const std::function<void()>& lose,
            const std::function<void()>& restore) {
    if (round % 10 != 5) return;
    lose();
    economy.play(random, 12);
    for (const auto& machine : economy.machines) EXPECT_TRUE(machine->host->settle());
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
         EXPECT_TRUE(machine.crash()) << "its sync program had stopped: " << machine.folder.read(".sync-log");
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
    // The cut-off machine goes on paying while the others ship.
    {"OneMachineCutOff", 30,
     [](Economy& economy, std::mt19937& random, int round) {
         Machine& cutOff = *economy.machines[0];
         outage(economy, random, round, [&] { cutOff.relay.cut(); }, [&] { cutOff.relay.heal(); });
     }},
};

class Economies : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setpriority(PRIO_PROCESS, 0, 10); }
    void SetUp() override {
        if (!economy.server.installed()) GTEST_SKIP() << economy.server.failure();
        ASSERT_EQ(economy.server.failure(), "");
        ASSERT_TRUE(economy.begin());
    }

    ScratchDir scratch;
    Economy economy{3, {"Ann", "Bob", "Cat", "Dan"}, 300};
};

class FaultStory : public Economies, public ::testing::WithParamInterface<Story> {};

TEST_P(FaultStory, LeavesTheEconomyWhole) {
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

// The rules as the randomised run plays them: a kill pays the killer 10; a
// donation, and a purchase of 7, are made when the balance covers them; and
// each answer is the one a bot must give.
struct Model {
    std::map<std::string, int64_t> balances;

    // The answers that `steps` must bring, in order, and the balances after them.
    void play(const std::string& steps, std::vector<std::string>& answers) {
        static const std::regex kill("(\\w+) kills \\w+"), purchase("(\\w+): !buy shield"),
            donation("(\\w+): !donate (\\w+):(\\d+)");
        std::istringstream in(steps);
        std::smatch step;
        for (std::string line; std::getline(in, line);) {
            if (std::regex_match(line, step, kill)) {
                balances[step[1]] += 10;
            } else if (std::regex_match(line, step, purchase)) {
                int64_t& credits = balances[step[1]];
                answers.push_back("[private to " + step[1].str() + "] " +
                                  (credits >= 7 ? step[1].str() + " bought a shield"
                                                : "You need " + std::to_string(7 - credits) + " more credits to buy that item"));
                credits -= credits >= 7 ? 7 : 0;
            } else if (std::regex_match(line, step, donation)) {
                const int64_t amount = std::stoll(step[3]);
                const bool enough = balances[step[1]] >= amount;
                answers.push_back("[private to " + step[1].str() + "] " +
                                  (enough ? step[3].str() + " credits donated to " + step[2].str()
                                          : std::string("You do not have enough credits")));
                balances[step[1]] -= enough ? amount : 0;
                balances[step[2]] += enough ? amount : 0;
            }
        }
    }
};

// Payments, purchases and awards on every machine while, at random, sync
// programs are killed, a machine is cut off from the database and joined
// again, and the database stops hard: every answer, and every balance in
// the end, as the model says.
TEST_F(Economies, RandomisedRunAgreesWithTheModel) {
    Model model;
    for (const auto& machine : economy.machines) {
        for (const std::string& player : machine->players) model.balances[player] = 300;
    }
    std::vector<std::vector<std::string>> answers(economy.machines.size());
    std::mt19937 random(3838);
    for (int round = 0; round < 80; ++round) {
        const std::vector<std::string> sent = economy.play(random, 1 + random() % 20);
        for (size_t i = 0; i < sent.size(); ++i) model.play(sent[i], answers[i]);
        Machine& machine = anyMachine(economy, random);
        switch (random() % 8) {
            case 0:
                pauseUpTo(random, 100);
                EXPECT_EQ(machine.sync->stop(SIGKILL), -1) << "it had stopped: " << machine.folder.read(".sync-log");
                machine.startSync();
                break;
            case 1:
                machine.relay.cut();
                break;
            case 2:
                machine.relay.heal();
                break;
            case 3:
                if (random() % 4 == 0) {
                    ASSERT_TRUE(economy.server.stop());
                    pauseUpTo(random, 1000);
                    ASSERT_TRUE(economy.server.start());
                }
                break;
        }
        for (const auto& each : economy.machines) ASSERT_TRUE(each->host->settle());
    }
    for (const auto& machine : economy.machines) machine->relay.heal();
    for (size_t i = 0; i < answers.size(); ++i) EXPECT_EQ(economy.machines[i]->host->replies(), answers[i]);
    ASSERT_TRUE(economy.converge(30s));
    economy.check();
    std::string expected;
    for (const auto& [name, credits] : model.balances) {
        std::string key = name;
        key[0] = static_cast<char>(key[0] + 32);  // the players' names start with one capital
        expected += key + "|" + std::to_string(credits) + "\n";
    }
    EXPECT_EQ(economy.server.query("SELECT encode(key, 'escape') || '|' || credits FROM balances ORDER BY key") + "\n",
              expected);
}

}  // namespace
}  // namespace kadrel::testing
