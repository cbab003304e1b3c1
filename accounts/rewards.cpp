#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::loadRewards() {}

void BotInstance::rewardDeath(const HostPlayer&, const HostPlayer&) {}

void BotInstance::rewardPrize(const HostPlayer&, int32_t) {}

void BotInstance::rewardFlagVictory(uint32_t) {}

void BotInstance::rewardSoccerGoal(uint32_t) {}

}  // namespace kadrel
