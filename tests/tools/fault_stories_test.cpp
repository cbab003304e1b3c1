// The shared economy's fault stories, against a PostgreSQL server of the
// test's own: three machines, each a folder with its host and its own kadrel
// sync, pay and spend while programs are killed, the database stops hard,
// the links to it are cut and players go from machine to machine. After each
// story, once every folder has shipped, the economy's checks must hold.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "accounts/shared_economy.h"
#include "economy.h"

namespace kadrel::testing {
namespace {

using namespace std::chrono_literals;

const std::string refused = "The bank is not available right now";

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

// The rules as the stories play them: a kill pays the killer 10; a
// donation, and a purchase of 7, are made when the balance covers them; and
// each answer is the one a bot must give.
struct Model {
    std::map<std::string, int64_t> balances;

    // The answers that `steps` must bring, in order, and the balances after
    // them; on a machine `refusing` every spend, a refusal that changes nothing.
    void play(const std::string& steps, std::vector<std::string>& answers, bool refusing = false) {
        static const std::regex kill("(\\w+) kills \\w+"), purchase("(\\w+): !buy shield"),
            donation("(\\w+): !donate (\\w+):(\\d+)"), chat("(\\w+): .*");
        std::istringstream in(steps);
        std::smatch step;
        for (std::string line; std::getline(in, line);) {
            if (std::regex_match(line, step, kill)) {
                balances[step[1]] += 10;
            } else if (refusing && std::regex_match(line, step, chat)) {
                answers.push_back("[private to " + step[1].str() + "] " + refused);
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

    // The answers heard to one step made on `times` machines at once, in any
    // order: a refusal changes nothing, and the others are as the rules give
    // them for the step made that often. The refusals heard.
    int agree(const std::string& step, std::vector<std::string> heard, int times = 1) {
        const auto refusals = std::erase(heard, "[private to " + step.substr(0, step.find(':')) + "] " + refused);
        std::vector<std::string> expected;
        for (int i = static_cast<int>(refusals); i < times; ++i) play(step + "\n", expected);
        std::sort(heard.begin(), heard.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(heard, expected) << step;
        return static_cast<int>(refusals);
    }

    // The economy's balance of one of the players is the model's.
    void agreesWith(Economy& economy, std::string player) {
        const int64_t credits = balances[player];
        std::transform(player.begin(), player.end(), player.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_EQ(economy.server.query("SELECT credits FROM balances WHERE key = '" + player + "'"),
                  std::to_string(credits));
    }
};

// A spend the stories' players make: a purchase, or a donation to `to`.
std::string spend(std::mt19937& random, const std::string& player, const std::string& to) {
    return random() % 3 == 0 ? player + ": !buy shield"
                             : player + ": !donate " + to + ":" + std::to_string(1 + random() % 40);
}

// Whether two folders' bots could take the player's credits at one moment.
// Each journal is read twice, in turn: one live at both its reads held the
// lease throughout, while every other journal was read once; a hand-over in
// between takes longer than the reads. The folders seen holding it are added
// to `holders`.
bool twoHolders(const Economy& economy, const std::string& player, std::set<size_t>& holders) {
    const size_t count = economy.machines.size();
    std::vector<bool> live;
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& machine : economy.machines) live.push_back(machine->holdsLease(player));
    }
    for (size_t i = 0; i < count; ++i) {
        if (live[i] || live[i + count]) holders.insert(i);
        if (!live[i] || !live[i + count]) continue;
        for (size_t read = i + 1; read < i + count; ++read) {
            if (live[read]) return true;
        }
    }
    return false;
}

// Every player of every machine with the credits their folder opened with.
Model openingModel(const Economy& economy) {
    Model model;
    for (const auto& machine : economy.machines) {
        for (const std::string& player : machine->players) model.balances[player] = 300;
    }
    return model;
}

// Payments, purchases and awards on every machine while, at random, sync
// programs are killed, a machine is cut off from the database and joined
// again, the database stops hard, and players move between machines that
// reach it: every answer, and every balance in the end, as the model says.
TEST_F(Economies, RandomisedRunAgreesWithTheModel) {
    Model model = openingModel(economy);
    std::vector<std::vector<std::string>> answers(economy.machines.size());
    std::mt19937 random(3838);
    std::set<const Machine*> cutOff;
    int moves = 0;
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
                cutOff.insert(&machine);
                break;
            case 2:
                machine.relay.heal();
                cutOff.erase(&machine);
                break;
            case 3:
                if (random() % 4 == 0) {
                    ASSERT_TRUE(economy.server.stop());
                    pauseUpTo(random, 1000);
                    ASSERT_TRUE(economy.server.start());
                }
                break;
        }
        // Now and then a player goes to another machine, both reaching the
        // database, and plays there once its folder holds the lease: no
        // answer then waits on the hand-over.
        std::vector<Machine*> reaching;
        for (const auto& each : economy.machines) {
            if (cutOff.count(each.get()) == 0) reaching.push_back(each.get());
        }
        if (reaching.size() > 1 && random() % 2 == 0) {
            const size_t from = random() % reaching.size();
            Machine& to = *reaching[(from + 1 + random() % (reaching.size() - 1)) % reaching.size()];
            const std::vector<std::string>& players = reaching[from]->present;
            if (players.size() > 2) {
                const std::string player = players[random() % players.size()];
                economy.move(player, *reaching[from], to);
                ASSERT_TRUE(to.awaitLease(player, 10s));
                ++moves;
            }
        }
        for (const auto& each : economy.machines) ASSERT_TRUE(each->host->settle());
    }
    EXPECT_GE(moves, 10);
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

// A player leaves one arena and comes into two others at the same moment,
// and spends on both at once: the spends move the lease from folder to
// folder, never live in two; a refused spend changes nothing, and no credit
// is spent twice.
TEST_F(Economies, TwoMachinesClaimingOnePlayerSpendEachCreditOnce) {
    const std::string player = "Dan2";
    Model model{{{player, 300}}};
    economy.machines[2]->leave(player);
    Machine& a = *economy.machines[0];
    Machine& b = *economy.machines[1];
    a.enter(player);
    b.enter(player);
    std::mt19937 random(8);
    std::set<size_t> holders;
    long answered[2] = {0, 0};
    const auto accepted = [](const std::vector<std::string>& heard) {
        return std::count_if(heard.begin(), heard.end(),
                             [](const std::string& line) { return !line.ends_with(refused); });
    };
    for (int round = 0; round < 60; ++round) {
        const std::string step = spend(random, player, "Bob2");
        a.host->send(step + "\n");
        b.host->send(step + "\n");
        for (const auto until = std::chrono::steady_clock::now() + 200ms; std::chrono::steady_clock::now() < until;) {
            ASSERT_FALSE(twoHolders(economy, player, holders)) << "two folders may take " << player << "'s credits";
            std::this_thread::sleep_for(5ms);
        }
        const std::vector<std::string> fromA = a.host->answers();
        const std::vector<std::string> fromB = b.host->answers();
        std::vector<std::string> heard = fromA;
        heard.insert(heard.end(), fromB.begin(), fromB.end());
        model.agree(step, heard, 2);
        answered[0] += accepted(fromA);
        answered[1] += accepted(fromB);
    }
    EXPECT_EQ(holders.count(0) + holders.count(1), 2u) << "the lease did not follow the spends";
    EXPECT_GT(answered[0], 0);
    EXPECT_GT(answered[1], 0);
    // Only credits run short tell one balance from two.
    EXPECT_LT(model.balances[player], 40) << "the spends never ran short";
    ASSERT_TRUE(economy.converge(30s));
    economy.check();
    model.agreesWith(economy, player);
}

// A player goes back and forth between two machines, spending right after
// each arrival and paid for kills where they are: the new machine refuses
// until its folder holds the lease, then answers with a balance that holds
// everything done on the other.
TEST_F(Economies, APlayerMovingBackAndForthTakesTheBalanceAlong) {
    const std::string player = "Ann0";
    Model model{{{player, 300}}};
    std::mt19937 random(83);
    for (int move = 0; move < 16; ++move) {
        Machine& to = *economy.machines[1 - move % 2];
        economy.move(player, *economy.machines[move % 2], to);
        int taken = 0;
        for (int step = 0; taken < 4 && step < 200; ++step) {
            const std::string line =
                step % 3 == 2 ? player + " kills " + to.players[1] : spend(random, player, to.players[1]);
            to.host->send(line + "\n");
            const bool refusal = model.agree(line, to.host->answers()) > 0;
            EXPECT_FALSE(refusal && taken > 0) << "refused once the lease was there";
            taken += line.find(':') != std::string::npos && !refusal;
            if (refusal) std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(taken, 4) << "never spent at move " << move << ": " << to.folder.read(".sync-log");
    }
    ASSERT_TRUE(economy.converge(30s));
    economy.check();
    model.agreesWith(economy, player);
}

// A machine cut off from the database goes on paying and spending within
// the leases it held before the cut; once their ends come within the margin,
// its bots refuse every spend (and still pay); after the heal its folder
// holds them again within seconds and the economy converges. The leases run
// down in real time: the story takes about as long as their term.
TEST_F(Economies, AMachineCutOffSpendsOnlyWithinItsLeases) {
    Model model = openingModel(economy);
    std::vector<std::vector<std::string>> answers(economy.machines.size());
    std::mt19937 random(25);
    const auto round = [&](bool refusing) {
        const std::vector<std::string> sent = economy.play(random, 8);
        for (size_t i = 0; i < sent.size(); ++i) model.play(sent[i], answers[i], refusing && i == 0);
        for (const auto& machine : economy.machines) ASSERT_TRUE(machine->host->settle());
    };
    Machine& cutOff = *economy.machines[0];
    cutOff.relay.cut();
    // A renewal under way when the link went is in the journal by now.
    std::this_thread::sleep_for(1s);
    const auto ends = [&] {
        std::vector<int64_t> found;
        for (const std::string& player : cutOff.players) found.push_back(cutOff.leaseEnd(player));
        return found;
    };
    const std::vector<int64_t> held = ends();
    const int64_t first = *std::min_element(held.begin(), held.end());
    const int64_t last = *std::max_element(held.begin(), held.end());
    while (std::time(nullptr) + leaseMargin + 2 < first) {
        round(false);
        std::this_thread::sleep_for(300ms);
    }
    while (std::time(nullptr) + leaseMargin <= last) std::this_thread::sleep_for(100ms);
    for (int i = 0; i < 5; ++i) round(true);
    EXPECT_EQ(ends(), held) << "renewed while cut off";
    cutOff.relay.heal();
    for (const std::string& player : cutOff.players) ASSERT_TRUE(cutOff.awaitLease(player, 10s));
    for (int i = 0; i < 5; ++i) round(false);
    ASSERT_TRUE(economy.converge(10s));
    for (size_t i = 0; i < answers.size(); ++i) EXPECT_EQ(economy.machines[i]->host->replies(), answers[i]);
    economy.check();
    for (const auto& [player, credits] : model.balances) model.agreesWith(economy, player);
}

}  // namespace
}  // namespace kadrel::testing
