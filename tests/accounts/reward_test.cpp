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


class Rewards : public ::testing::Test {
protected:
    void connect(const std::string& settings) {
        if (!settings.empty()) scratch.write("credits.ini", "[Credits]\n" + settings);
        host.init(1);
    }

    Ledger savedLedger() {
        host.term(1);
        return parseBank(scratch.read(bankFileName()));
    }

    ScratchDir scratch;
    TestHost host;
};

TEST_F(Rewards, WithoutCreditsIniEveryEventOpensAccountsWithNothing) {
    connect("");
    const PlayerRecord alice("Alice", 1, 0, 0), bob("Bob", 2, 0, 1), cid("Cid", 3, 0, 1), dee("Dee", 4);
    host.death(1, alice, bob);
    host.prize(1, cid, 7);
    for (const PlayerRecord* player : {&alice, &cid, &dee}) host.players.add(player->record());
    host.flagVictory(1, 1);
    host.soccerGoal(1, 0);
    EXPECT_EQ(savedLedger(), (Ledger{{"Bob", 0}, {"Alice", 0}, {"Cid", 0}, {"Dee", 0}}))
        << "the killer first, then the player who died; the walk in list order";
}

TEST_F(Rewards, DeathsPayTheKillerAndThePlayerWhoDiedByTeam) {
    connect("Kill=10\nTeamKill=-5\nKilled=-3\nTeamKilled=-7\n");
    const struct {
        uint16_t diedTeam, killerTeam;
    } deaths[] = {{0, 1}, {3, 3}, {65535, 65535}, {1, 65535}};
    for (size_t i = 0; i < std::size(deaths); ++i) {
        const std::string n = std::to_string(i);
        host.death(1, PlayerRecord("Victim" + n, 1, 0, deaths[i].diedTeam),
                   PlayerRecord("Killer" + n, 2, 0, deaths[i].killerTeam));
    }
    EXPECT_EQ(savedLedger(), (Ledger{{"Killer0", 10}, {"Victim0", -3}, {"Killer1", -5}, {"Victim1", -7},
                                     {"Killer2", -5}, {"Victim2", -7}, {"Killer3", 10}, {"Victim3", -3}}));
}

// What is a number is core text's rule (text_test); these show that an amount
// is read by it, and that one beyond 32 bits pays nothing.
TEST_F(Rewards, PrizesUseAnyPrizeUnlessTheirOwnKeyIsSetAndOnlyInTheTable) {
    connect(
        "AnyPrize=5\nPrize3=20\nPrize4=abc\nPrize5=\nPrize-28=-1\nPrize28=2\nPrize6=4294967301\nPrize-0=9\n"
        "Prize07=9\n");
    const std::vector<std::pair<int32_t, int32_t>> paid = {{3, 20}, {4, 0}, {5, 5},  {-28, -1}, {28, 2},
                                                           {6, 0},  {0, 5}, {7, 5}, {-1, 5},   {-27, 5}};
    Ledger want;
    for (const auto& [type, amount] : paid) {
        const std::string name = "T" + std::to_string(type);
        host.prize(1, PlayerRecord(name), type);
        want.push_back({name, amount});
    }
    // Types beyond the host's pay nothing and open nothing.
    for (int32_t type : {29, -29, INT_MIN, INT_MAX}) host.prize(1, PlayerRecord("Outside"), type);
    EXPECT_EQ(savedLedger(), want);
}

// The event's team is 32 bits wide, the player's 16 bits widened without sign.
TEST_F(Rewards, TeamEventsPayTheTeamOneAmountAndEverybodyElseTheOther) {
    connect("FlagVictoryTeam=100\nFlagVictoryEnemy=-10\nSoccerGoalTeam=30\nSoccerGoalEnemy=-3\n");
    // The host's list points at the records: they must outlive the events.
    const PlayerRecord arena[] = {PlayerRecord("Ann", 1, 0, 1), PlayerRecord("Bot", 2, 0, 0),
                                  PlayerRecord("Cy", 3, 0, 1), PlayerRecord("Di", 4, 0, 65535)};
    for (const PlayerRecord& player : arena) host.players.add(player.record());
    host.flagVictory(1, 1);
    host.flagVictory(1, 0x10001);  // not team 1: the player's team is widened, not the event's cut
    host.soccerGoal(1, 0xFFFFFFFF);  // not team 65535
    host.soccerGoal(1, 65535);
    EXPECT_EQ(savedLedger(), (Ledger{{"Ann", 100 - 10 - 3 - 3}, {"Bot", -10 - 10 - 3 - 3},
                                     {"Cy", 100 - 10 - 3 - 3}, {"Di", -10 - 10 - 3 + 30}}));
}

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
