// Credits paid or taken for each kind of game event.
#pragma once

#include <cstdint>

#include "core/char_string.h"

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
    int32_t prize[prizeTypeCount] = {};  // prize type t at index t - lowestPrizeType
};

// Where the rewards are read: one section of one file, every value up to
// valueBufferSize - 1 characters.
constexpr const char* rewardsFile = "credits.ini";
constexpr const char* rewardsSection = "Credits";
constexpr uint32_t rewardValueBufferSize = 192;

struct AmountKey {
    const char* key;
    int32_t RewardTable::*field;
};

// The amounts of the game events, in the order the keys are read.
constexpr AmountKey amountKeys[] = {
    {"SoccerGoalEnemy", &RewardTable::soccerGoalEnemy}, {"SoccerGoalTeam", &RewardTable::soccerGoalTeam},
    {"FlagVictoryTeam", &RewardTable::flagVictoryTeam}, {"FlagVictoryEnemy", &RewardTable::flagVictoryEnemy},
    {"Kill", &RewardTable::kill},                       {"TeamKill", &RewardTable::teamKill},
    {"Killed", &RewardTable::killed},                   {"TeamKilled", &RewardTable::teamKilled},
};

// Prize type t pays the value of PrizeT (t in decimal, a minus sign for
// negative types); an empty one pays the AnyPrize amount.
constexpr const char* anyPrizeKey = "AnyPrize";
constexpr const char* prizeKeyStem = "Prize";

// The key of a prize type: Prize-28 to Prize28.
CharString prizeKey(int32_t type);

// Whether a prize type whose own key holds `prizeValue` pays the AnyPrize
// amount instead: the one rule of that fallback, for the loader and for
// those who check the file.
bool paysAnyPrize(const CharString& prizeValue);

// Read along with the bank file, with room for two characters.
constexpr const char* canGoNegativeKey = "CanGoNegative";
constexpr uint32_t canGoNegativeBufferSize = 3;

// The CanGoNegative key of credits.ini, read when the bank file is loaded.
bool readCanGoNegative();

}  // namespace kadrel
