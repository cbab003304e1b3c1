// In a folder that shares its balances with other machines, credits are
// taken from a player only within this folder's lease of the player, by the
// bot's own clock with a margin; a refusal changes nothing and leaves a wish
// for the lease in the journal. The plug-in's code runs in this process, so
// that its clock can be set.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "bank_model.h"
#include "economy_writer.h"
#include "host/instances.h"
#include "platform/platform.h"
#include "request_collector.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

using stand_in::PlayerRecord;

constexpr int64_t start = 1800000000;
constexpr uint32_t bot = 7;
int64_t clock = start;

// A bot in a folder of its own, its clock at `start` until moved.
struct Arena {
    Arena() {
        clock = start;
        platform::wallClock = [] { return clock; };
        scratch.write(bankFileName(), bankBytes({{"Alice", 100}, {"Bob", 100}}));
        scratch.write("buy.ini", "[Item1]\nName=Shield\nValue=10\nPrivAction0=bought\n");
        host.init(bot);
    }
    ~Arena() {
        destroyInstances();
        platform::wallClock = systemClock;
    }

    // As kadrel sync writes them: the folder's share, then Alice's lease.
    void share(int64_t origin, std::optional<int64_t> leaseEnds = std::nullopt) {
        EconomyWriter sync;
        sync.write({makeSharedRecord(origin, clock)});
        if (leaseEnds) sync.write({makeLeaseRecord("alice", *leaseEnds, clock)});
    }
    std::string reply(const PlayerRecord& player, const std::string& word, const std::string& parameters = "") {
        return host.reply(bot, player, word, parameters);
    }
    // When the wishes for the player's lease in the journal were written.
    std::string wishesFor(const std::string& name) {
        std::string times;
        for (const JournalRecord& r : journalRecords(scratch.read("Quorlen.bank.journal"))) {
            const bool wish = r.kind == uint8_t(JournalKind::Wanted) && r.name == name && r.sequence == 0;
            if (wish) times += std::to_string(r.time - start) + " ";
        }
        return times;
    }

    static inline int64_t (*const systemClock)() = platform::wallClock;
    ScratchDir scratch;
    RequestCollector host{::talk, [](const std::string& fault) { ADD_FAILURE() << "the host refuses: " << fault; }};
    const PlayerRecord alice{"Alice", 4};
    const PlayerRecord oper{"Oper", 5, 1};
};

TEST(LeaseGate, ASpendInASharedFolderNeedsALiveLeaseAndARefusalChangesNothing) {
    const struct {
        const char *word, *parameters, *done;
    } spends[] = {{"donate", "Bob:10", "10 credits donated to Bob"},
                  {"buy", "shield", "bought"},
                  {"ctake", "Alice:10", "Credits removed"}};
    const struct {
        const char* name;
        std::optional<int64_t> origin, leaseEnds;  // of the folder's share and Alice's lease, where written
        bool spends;
    } standings[] = {
        {"a folder that shares nothing", std::nullopt, std::nullopt, true},
        {"a live lease", 3, start + 60, true},
        {"a lease just past the margin", 3, start + leaseMargin + 1, true},
        {"a lease within the margin", 3, start + leaseMargin, false},
        {"a lease that ended", 3, start - 1, false},
        {"no lease", 3, std::nullopt, false},
    };
    for (const auto& standing : standings) {
        for (const auto& spend : spends) {
            SCOPED_TRACE(std::string(standing.name) + ", " + spend.word);
            Arena arena;
            if (standing.origin) arena.share(*standing.origin, standing.leaseEnds);
            const PlayerRecord& spender = std::string(spend.word) == "ctake" ? arena.oper : arena.alice;
            const auto tryIt = [&] { return arena.reply(spender, spend.word, spend.parameters); };
            EXPECT_EQ(tryIt(), standing.spends ? spend.done : "The bank is not available right now");
            EXPECT_EQ(arena.reply(arena.alice, "creds"), standing.spends ? "You have 90 credits" : "You have 100 credits");
            EXPECT_EQ(arena.wishesFor("Alice"), standing.spends ? "" : "0 ");
            if (standing.spends) continue;
            // At most one wish a player every few seconds.
            for (const int64_t step : {0, 4, 1}) {
                clock += step;
                tryIt();
            }
            EXPECT_EQ(arena.wishesFor("Alice"), "0 5 ");
        }
    }
}

// Adding needs no lease, and a reset is refused outright in a shared folder.
// A player who comes into its arena without a lease gets one wished for at
// the next tick, once, however soon after the last; one with a lease does
// not. A folder that left the economy is its own again.
TEST(LeaseGate, AddingNeedsNoLeaseAResetIsRefusedAndAnArrivalIsWishedFor) {
    Arena arena;
    arena.share(3, start + 60);
    const PlayerRecord bob{"Bob", 6};
    EXPECT_EQ(arena.reply(arena.oper, "cgive", "Bob:5"), "Credits added");
    EXPECT_EQ(arena.reply(arena.oper, "ctake", "Bob:-5"), "Credits removed") << "a negative take adds";
    EXPECT_EQ(arena.reply(arena.oper, "creset"), "A reset is not possible while the bank is shared with other machines");
    arena.host.players.add(arena.alice.record());
    arena.host.players.add(bob.record());
    arena.host.tick(bot);
    EXPECT_EQ(arena.wishesFor("Bob"), "0 ");
    EXPECT_EQ(arena.wishesFor("Alice"), "");
    clock += 10;
    arena.host.tick(bot);
    EXPECT_EQ(arena.wishesFor("Bob"), "0 ") << "no arrival: nothing more";
    arena.host.players.remove(bob.record());
    arena.host.tick(bot);
    arena.host.players.add(bob.record());
    arena.host.tick(bot);
    EXPECT_EQ(arena.wishesFor("Bob"), "0 10 ") << "back in the arena";
    arena.host.players.remove(bob.record());
    arena.host.tick(bot);
    clock += 1;
    arena.host.players.add(bob.record());
    arena.host.tick(bot);
    EXPECT_EQ(arena.wishesFor("Bob"), "0 10 11 ") << "back again within seconds: the lease may have moved";
    // Alice's lease went to another machine while she was away, since the
    // bot last read the journal: her return is wished for all the same.
    arena.host.players.remove(arena.alice.record());
    arena.host.tick(bot);
    EconomyWriter().write({makeLeaseRecord("alice", 0, clock)});
    arena.host.players.add(arena.alice.record());
    arena.host.tick(bot);
    EXPECT_EQ(arena.wishesFor("Alice"), "11 ");
    arena.share(0);
    EXPECT_EQ(arena.reply(arena.oper, "creset"), "All credits have been cleared");
}

}  // namespace
}  // namespace kadrel::testing
