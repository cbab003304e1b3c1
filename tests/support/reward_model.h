// The rewards of a credits.ini, paid into a BankModel as the plug-in pays them
// for the events of the host's players, so that a random run of deaths,
// prizes and team wins can be followed account by account.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "bank_model.h"
#include "tools/stand_in/host_records.h"

namespace kadrel::testing {

struct RewardModel {
    int32_t kill = 0, teamKill = 0, killed = 0, teamKilled = 0;
    int32_t flagVictoryTeam = 0, flagVictoryEnemy = 0, soccerGoalTeam = 0, soccerGoalEnemy = 0;
    int32_t anyPrize = 0;
    std::map<int32_t, int32_t> prizes;  // the types that pay other than anyPrize

    // The [Credits] section that sets these rewards.
    std::string creditsIni() const {
        std::string text = "[Credits]\nKill=" + std::to_string(kill) + "\nTeamKill=" + std::to_string(teamKill) +
                           "\nKilled=" + std::to_string(killed) + "\nTeamKilled=" + std::to_string(teamKilled) +
                           "\nFlagVictoryTeam=" + std::to_string(flagVictoryTeam) +
                           "\nFlagVictoryEnemy=" + std::to_string(flagVictoryEnemy) +
                           "\nSoccerGoalTeam=" + std::to_string(soccerGoalTeam) +
                           "\nSoccerGoalEnemy=" + std::to_string(soccerGoalEnemy) +
                           "\nAnyPrize=" + std::to_string(anyPrize) + "\n";
        for (const auto& [type, amount] : prizes) {
            text += "Prize" + std::to_string(type) + "=" + std::to_string(amount) + "\n";
        }
        return text;
    }

    void death(BankModel& bank, const stand_in::PlayerRecord& died, const stand_in::PlayerRecord& killer) const {
        const bool sameTeam = died.teamValue() == killer.teamValue();
        bank.award(sameTeam ? teamKill : kill, killer.nameText());
        bank.award(sameTeam ? teamKilled : killed, died.nameText());
    }

    void prize(BankModel& bank, const stand_in::PlayerRecord& player, int32_t type) const {
        const auto found = prizes.find(type);
        bank.award(found != prizes.end() ? found->second : anyPrize, player.nameText());
    }

    // What one listed player gets for a flag victory or a soccer goal of `team`.
    void teamWin(BankModel& bank, bool flag, uint32_t team, const stand_in::PlayerRecord& player) const {
        const bool winner = player.teamValue() == team;
        bank.award(flag ? (winner ? flagVictoryTeam : flagVictoryEnemy) : (winner ? soccerGoalTeam : soccerGoalEnemy),
                   player.nameText());
    }
};

}  // namespace kadrel::testing
