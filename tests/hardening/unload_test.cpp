// Unloading the plug-in frees everything it allocated: every bot instance with
// its ledger and its catalogue. The test program replaces operator new and
// delete (allocation_counter.cpp), which the loaded library binds to as well,
// and compares the live blocks before the load with those after the unload.
#include <gtest/gtest.h>

#include <string>

#include "allocation_counter.h"
#include "bank_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

constexpr int loadedAccounts = 40;
const uint32_t bots[] = {11, 12, 13};

std::string bankOf(int accounts) {
    std::string bytes;
    for (int i = 0; i < accounts; ++i) bytes += bankRecord("Saved" + std::to_string(i), 1000 + i);
    return bytes;
}

const char* const buyIni =
    "[Item0]\nName=Shield\nDescription=A shield\nValue=25\nPrivAction0=Thanks %name%\nPubAction0=%name% bought it\n"
    "[Item1]\nName=Radar\nValue=1\nSpecialAction0=12\n"
    "[Item2]\nName=Free\n"
    "[Item3]\nName=Broken\nValue=x\n";

// Blocks that the catalogue above holds in every bot, at the least: Shield's
// item, name, description and two actions; Radar's and Free's item and name.
constexpr long itemBlocks = 9;

const char* const creditsIni = "[Credits]\nKill=5\nKilled=-1\nAnyPrize=2\nFlagVictoryTeam=10\n";

// Brings three bots up from the files, opens accounts through events and
// commands, buys an item, and saves; returns the live blocks while loaded.
long runLoadedSession(const ScratchDir& scratch) {
    scratch.write("Quorlen.bank", bankOf(loadedAccounts));
    scratch.write("buy.ini", buyIni);
    scratch.write("credits.ini", creditsIni);
    TestHost host;
    PlayerRecord alice("Alice", 1, 0, 1);
    PlayerRecord bob("Bob", 2, 1, 2);
    host.players.add(alice.record());
    host.players.add(bob.record());
    for (uint32_t bot : bots) {
        host.init(bot);
        host.death(bot, alice, bob);
        host.prize(bot, alice, 3);
        host.flagVictory(bot, 1);
        for (int i = 0; i < 20; ++i) host.command(bot, bob, "cgive", "New" + std::to_string(i) + ":50");
        host.command(bot, alice, "buy", "Shield");
        host.command(bot, alice, "buy", "");
        host.term(bot);
    }
    host.clearRequests();
    return liveAllocations().blocks;
}

TEST(Unload, FreesEveryInstanceAccountAndItem) {
    ScratchDir scratch;
    // A first round lets the process make whatever it keeps for good (the
    // loader's and the runtime's own caches).
    runLoadedSession(scratch);

    const long before = liveAllocations().blocks;
    const long loaded = runLoadedSession(scratch);
    const long after = liveAllocations().blocks;

    EXPECT_GE(loaded - before, static_cast<long>(std::size(bots)) * itemBlocks)
        << "the counter must see the plug-in's own allocations: at least every bot's catalogue";
    EXPECT_EQ(after, before) << "blocks left live after the unload";
}

}  // namespace
}  // namespace kadrel::testing
