// A long random run over several bots: game events, ticks and credit commands
// by the million, followed by a model ledger kept by the test. At the end
// every balance must equal what the events and commands paid (the rewards
// come from the credits.ini that the test writes), the live memory must have
// grown only with the number of accounts, and after each bot's term event the
// bank file must hold exactly the ledger that all bots share.
//
// KADREL_SOAK_EVENTS sets the number of events (default two million);
// KADREL_SOAK_SEED the random seed.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "bank_model.h"
#include "reward_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

constexpr uint64_t defaultEvents = 2'000'000;
const uint32_t bots[] = {21, 22, 23};
constexpr int firstPoolSize = 40;
constexpr int fullPoolSize = 80;
constexpr int teams = 4;
constexpr int32_t shieldPrice = 25;

// The rewards the test writes to credits.ini.
const RewardModel rewards{7, -11, -2, 1, 50, -1, 30, -3, 1, {{5, 9}, {-3, -4}, {28, 100}}};

uint64_t environmentNumber(const char* name, uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

struct Player {
    PlayerRecord record;
    std::string name;  // the account the player's events reach
    bool isOperator;
};

class Soak : public ::testing::Test {
protected:
    Soak() : random(static_cast<uint32_t>(environmentNumber("KADREL_SOAK_SEED", 20261206))) {
        model.reserve(fullPoolSize);  // the test's own storage stays put while memory is measured
        scratch.write("credits.ini", rewards.creditsIni());
        scratch.write("buy.ini", "[Item0]\nName=Shield\nValue=" + std::to_string(shieldPrice) + "\n");
        for (int i = 0; i < fullPoolSize; ++i) {
            // Every seventh player spells the name of the one before in
            // capitals: the two reach one account.
            const std::string name = i % 7 == 3 ? "PILOT" + std::to_string(i - 1) : "pilot" + std::to_string(i);
            const auto team = static_cast<uint16_t>(i % teams);
            const bool isOperator = i % 10 == 0;
            pool.push_back(
                {PlayerRecord(name, static_cast<uint16_t>(i + 1), isOperator ? 2 : 0, team), name, isOperator});
            pool.back().record.scores(i, i);
        }
    }

    int draw(int below) { return std::uniform_int_distribution<int>(0, below - 1)(random); }

    // Adds the players from `from` up to `to` to the host's arena list.
    void listPlayers(int from, int to) {
        for (int i = from; i < to; ++i) host.players.add(pool[i].record.record());
        listed = to;
    }

    Player& somePlayer() { return pool[draw(listed)]; }

    // One random event for one random bot, applied to the model as well.
    void step() {
        const uint32_t handle = bots[draw(static_cast<int>(std::size(bots)))];
        const int kind = draw(100);
        if (kind < 40) {
            Player& died = somePlayer();
            Player& killer = somePlayer();
            host.death(handle, died.record, killer.record);
            rewards.death(model, died.record, killer.record);
        } else if (kind < 65) {
            Player& player = somePlayer();
            const int32_t type = draw(57) - 28;
            host.prize(handle, player.record, type);
            rewards.prize(model, player.record, type);
        } else if (kind < 67) {
            const uint32_t team = static_cast<uint32_t>(draw(teams + 1));
            const bool flag = draw(2) == 0;
            flag ? host.flagVictory(handle, team) : host.soccerGoal(handle, team);
            for (int i = 0; i < listed; ++i) rewards.teamWin(model, flag, team, pool[i].record);
        } else if (kind < 69) {
            host.tick(handle);
        } else {
            command(handle);
        }
    }

    void command(uint32_t handle) {
        Player& sender = somePlayer();
        const std::string& target = somePlayer().name;
        const int kind = draw(10);
        if (kind < 4) {
            const int32_t amount = draw(60);
            host.command(handle, sender.record, "donate", target + ":" + std::to_string(amount));
            if (model.balance(sender.name) >= amount) {
                model.award(amount, target);
                model.award(-amount, sender.name);
            }
        } else if (kind < 6 && sender.isOperator) {
            const int32_t amount = draw(400) - 100;
            const bool give = draw(2) == 0;
            host.command(handle, sender.record, give ? "cgive" : "ctake", target + ":" + std::to_string(amount));
            model.award(give ? amount : -amount, target);
        } else if (kind < 8) {
            host.command(handle, sender.record, "buy", "Shield");
            const int32_t shortfall = static_cast<int32_t>(static_cast<uint32_t>(shieldPrice) -
                                                           static_cast<uint32_t>(model.balance(sender.name)));
            if (shortfall <= 0) model.award(-shieldPrice, sender.name);
        } else {
            // An operator's look-up, checked against the model on the spot.
            host.clearRequests();
            host.command(handle, pool[0].record, "cget", target);
            const std::string expected = target + " has " + std::to_string(model.balance(target)) + " credits";
            ASSERT_EQ(host.requests.size(), 1u);
            ASSERT_EQ(host.requests[0].text, expected);
        }
        if (host.requests.size() > 4096) host.clearRequests();
    }

    void run(uint64_t events) {
        for (uint64_t i = 0; i < events && !HasFatalFailure(); ++i) step();
    }

    struct Checkpoint {
        size_t accounts;
        LiveAllocations memory;
    };

    // The accounts (every bot holds every one) and the live memory, with the
    // test's own passing allocations released.
    Checkpoint checkpoint() {
        host.clearRequests();
        host.requests.shrink_to_fit();
        return {model.size() * std::size(bots), liveAllocations()};
    }

    ScratchDir scratch;
    TestHost host;
    std::mt19937 random;
    std::deque<Player> pool;
    BankModel model;  // all bots share one bank
    int listed = 0;
};

TEST_F(Soak, BalancesMemoryAndBankFollowMillionsOfEvents) {
    const uint64_t events = environmentNumber("KADREL_SOAK_EVENTS", defaultEvents);
    const uint64_t third = events / 3;
    constexpr int lastPhaseCheckpoints = 4;

    // Phase 1: the first half of the pool.
    listPlayers(0, firstPoolSize);
    for (uint32_t bot : bots) host.init(bot);
    run(third);
    const Checkpoint first = checkpoint();

    // Phase 2: the whole pool, so new accounts open. The growth of the host's
    // list is the test's own, measured and taken off.
    const LiveAllocations beforeListing = liveAllocations();
    listPlayers(firstPoolSize, fullPoolSize);
    const long listingBytes = liveAllocations().bytes - beforeListing.bytes;
    run(third);
    const Checkpoint second = checkpoint();

    // Phase 3: the same players. Saves spread every account to every bot; then
    // no account is new, and nothing may grow.
    std::array<Checkpoint, lastPhaseCheckpoints> last;  // not a growing vector: memory is being measured
    const uint64_t rest = events - 2 * third;
    for (int i = 0; i < lastPhaseCheckpoints; ++i) {
        run(rest / lastPhaseCheckpoints);
        last[i] = checkpoint();
    }
    ASSERT_FALSE(HasFatalFailure());

    ASSERT_GT(second.accounts, first.accounts) << "the second phase must open accounts";
    const long newAccounts = static_cast<long>(last.back().accounts - first.accounts);
    const long grownBytes = last.back().memory.bytes - first.memory.bytes - listingBytes;
    EXPECT_LE(grownBytes, newAccounts * 1024) << grownBytes << " bytes for " << newAccounts << " new accounts";
    for (int i = 1; i < lastPhaseCheckpoints; ++i) {
        ASSERT_EQ(last[i].accounts, last[0].accounts) << "accounts opened late in the run";
        EXPECT_EQ(last[i].memory.blocks, last[0].memory.blocks) << "blocks grew without new accounts";
        EXPECT_EQ(last[i].memory.bytes, last[0].memory.bytes) << "bytes grew without new accounts";
    }

    // The term events save every bot in turn; the file must hold every
    // change once, whichever bot saves.
    for (uint32_t bot : bots) {
        host.term(bot);
        EXPECT_TRUE(scratch.read(bankFileName()) == model.bytes())
            << "the bank after the term event of bot " << bot << " differs from the model";
    }
}

}  // namespace
}  // namespace kadrel::testing
