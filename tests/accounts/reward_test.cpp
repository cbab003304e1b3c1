// The reward rules as the host drives them: game events through talk, the
// balances read back from the bank file that the term event writes.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "bank_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

using Ledger = std::vector<BankRecord>;

class Rewards : public ::testing::Test {
protected:
    void connect(const std::string& settings) {
        if (!settings.empty()) scratch.write("credits.ini", "[Credits]\n" + settings);
        host.init(1);
    }

    Ledger savedLedger() {
        host.term(1);
        return parseBank(scratch.readBytes(bankFileName()));
    }

    ScratchDir scratch;
    TestHost host;
};

TEST_F(Rewards, WithoutCreditsIniEveryEventOpensAccountsWithNothing) {
    connect("");
    const PlayerRecord alice("Alice", 1, 0, 0), bob("Bob", 2, 0, 1), cid("Cid", 3, 0, 1), dee("Dee", 4);
    host.death(1, alice, bob);
    host.prize(1, cid, 7);
    host.players.add(alice.record());
    host.players.add(cid.record());
    host.players.add(dee.record());
    host.flagVictory(1, 1);
    host.soccerGoal(1, 0);
    EXPECT_EQ(savedLedger(), (Ledger{{"Bob", 0}, {"Alice", 0}, {"Cid", 0}, {"Dee", 0}}))
        << "the killer first, then the player who died; the walk in list order";
}

struct DeathCase {
    uint16_t diedTeam;
    uint16_t killerTeam;
    int32_t killerGets;
    int32_t diedGets;
};

class Deaths : public Rewards, public ::testing::WithParamInterface<DeathCase> {};

TEST_P(Deaths, PayTheKillerAndThePlayerWhoDied) {
    connect("Kill=10\nTeamKill=-5\nKilled=-3\nTeamKilled=-7\n");
    const DeathCase& c = GetParam();
    host.death(1, PlayerRecord("Victim", 1, 0, c.diedTeam), PlayerRecord("Killer", 2, 0, c.killerTeam));
    EXPECT_EQ(savedLedger(), (Ledger{{"Killer", c.killerGets}, {"Victim", c.diedGets}}));
}

INSTANTIATE_TEST_SUITE_P(Teams, Deaths,
                         ::testing::Values(DeathCase{0, 1, 10, -3}, DeathCase{3, 3, -5, -7},
                                           DeathCase{65535, 65535, -5, -7}, DeathCase{1, 65535, 10, -3}));

struct ValueCase {
    std::string value;
    int32_t amount;
};

class KillValues : public Rewards, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(KillValues, OnlySigned32BitDecimalsCount) {
    connect("Kill=" + GetParam().value + "\n");
    host.death(1, PlayerRecord("Victim", 1, 0, 0), PlayerRecord("Killer", 2, 0, 1));
    EXPECT_EQ(savedLedger().at(0), (BankRecord{"Killer", GetParam().amount})) << "value " << GetParam().value;
}

// What is a number is core text's rule (text_test); these rows show that an
// amount is read by it, and that one beyond 32 bits pays nothing.
INSTANTIATE_TEST_SUITE_P(Values, KillValues,
                         ::testing::Values(ValueCase{"-10", -10}, ValueCase{"1O", 0}, ValueCase{"2147483648", 0}));

TEST_F(Rewards, PrizesUseAnyPrizeUnlessTheirOwnKeyIsSet) {
    connect(
        "AnyPrize=5\nPrize3=20\nPrize4=abc\nPrize5=\nPrize-28=-1\nPrize28=2\nPrize6=4294967301\nPrize-0=9\n"
        "Prize07=9\n");
    struct Expectation {
        int32_t type;
        int32_t amount;
    };
    const std::vector<Expectation> expected = {{3, 20}, {4, 0},  {5, 5},   {-28, -1}, {28, 2},
                                               {6, 0},  {0, 5}, {7, 5}, {-1, 5},   {-27, 5}};
    Ledger want;
    for (const Expectation& e : expected) {
        const std::string name = "T" + std::to_string(e.type);
        host.prize(1, PlayerRecord(name), e.type);
        want.push_back({name, e.amount});
    }
    EXPECT_EQ(savedLedger(), want);
}

TEST_F(Rewards, PrizeTypesOutsideTheTablePayNothingAndOpenNothing) {
    connect("AnyPrize=5\n");
    for (int32_t type : {29, -29, 1000, INT_MIN, INT_MAX}) host.prize(1, PlayerRecord("Alice"), type);
    host.prize(1, PlayerRecord("Bob"), 28);
    EXPECT_EQ(savedLedger(), (Ledger{{"Bob", 5}}));
}

struct TeamEventCase {
    const char* name;
    bool soccer;
};

class TeamEvents : public Rewards, public ::testing::WithParamInterface<TeamEventCase> {
protected:
    void connectWithArena() {
        connect("FlagVictoryTeam=100\nFlagVictoryEnemy=-10\nSoccerGoalTeam=30\nSoccerGoalEnemy=-3\n");
        for (const PlayerRecord& player : arena) host.players.add(player.record());
    }
    void score(uint32_t team) {
        if (GetParam().soccer) {
            host.soccerGoal(1, team);
        } else {
            host.flagVictory(1, team);
        }
    }
    int32_t teamAmount() const { return GetParam().soccer ? 30 : 100; }
    int32_t otherAmount() const { return GetParam().soccer ? -3 : -10; }

    std::vector<PlayerRecord> arena = {PlayerRecord("Ann", 1, 0, 1), PlayerRecord("Bot", 2, 0, 0),
                                       PlayerRecord("Cy", 3, 0, 1), PlayerRecord("Di", 4, 0, 65535)};
};

TEST_P(TeamEvents, PayTheTeamOneAmountAndEverybodyElseTheOther) {
    connectWithArena();
    score(1);
    EXPECT_EQ(savedLedger(), (Ledger{{"Ann", teamAmount()},
                                     {"Bot", otherAmount()},
                                     {"Cy", teamAmount()},
                                     {"Di", otherAmount()}}));
}

TEST_P(TeamEvents, CompareThe32BitTeamWithTheWidened16BitOne) {
    connectWithArena();
    score(0x10001);     // not team 1: the player's team is widened, not the event's cut
    score(0xFFFFFFFF);  // not team 65535
    score(65535);
    const int32_t other = otherAmount();
    EXPECT_EQ(savedLedger(), (Ledger{{"Ann", 3 * other},
                                     {"Bot", 3 * other},
                                     {"Cy", 3 * other},
                                     {"Di", 2 * other + teamAmount()}}));
}

TEST_P(TeamEvents, AnEmptyArenaPaysNobody) {
    connect("FlagVictoryTeam=100\nSoccerGoalTeam=30\n");
    score(0);
    EXPECT_TRUE(savedLedger().empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, TeamEvents,
                         ::testing::Values(TeamEventCase{"FlagVictory", false}, TeamEventCase{"SoccerGoal", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Rewards, SettingsAreReadAgainAtEveryInit) {
    connect("Kill=1\n");
    const PlayerRecord victim("Victim", 1, 0, 0), killer("Killer", 2, 0, 1);
    host.death(1, victim, killer);
    host.term(1);
    scratch.write("credits.ini", "[Credits]\nKill=50\n");
    host.death(1, victim, killer);  // still the table of the first init
    host.term(1);
    host.init(1);
    host.death(1, victim, killer);
    EXPECT_EQ(savedLedger().at(0), (BankRecord{"Killer", 52}));
}

}  // namespace
}  // namespace kadrel::testing
