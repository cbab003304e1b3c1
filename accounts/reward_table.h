// Credits paid or taken for each kind of game event.
#pragma once

#include <cstdint>

namespace kadrel {

constexpr int32_t lowestPrizeType = -28;
constexpr int32_t highestPrizeType = 28;
constexpr int32_t prizeTypeCount = highestPrizeType - lowestPrizeType + 1;

struct RewardTable {
    int32_t soccerGoalEnemy = 0;
    int32_t soccerGoalTeam = 0;
    int32_t flagVictoryTeam = 0;
    int32_t flagVictoryEnemy = 0;
    int32_t kill = 0;
    int32_t teamKill = 0;
    int32_t killed = 0;
    int32_t teamKilled = 0;
    int32_t prize[prizeTypeCount] = {};  // prize type t at index t + 28
};

// The CanGoNegative key of credits.ini, read when the bank file is loaded.
bool readCanGoNegative();

}  // namespace kadrel
