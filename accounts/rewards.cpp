// The credits that game events pay, read from the section "Credits" of
// credits.ini, and the four rules that pay them.
#include "core/text.h"
#include "host/bot_instance.h"
#include "host/player_fields.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

// A value beyond the signed 32-bit range is no number: it would wrap into
// some other amount.
int32_t amountOf(const CharString& value) {
    return isNumericInRange(value.text()) ? parseInteger(value.text(), 10) : 0;
}

bool isTrueText(const CharString& value) {
    const char first = toLowerAscii(value[0]);
    if (first == '1' || first == 'y' || first == 't') return true;
    return first == 'o' && value.size() >= 2 && toLowerAscii(value[1]) == 'n';
}

}  // namespace

CharString prizeKey(int32_t type) {
    CharString key(prizeKeyStem);
    key.appendNumber(type);
    return key;
}

bool paysAnyPrize(const CharString& prizeValue) { return prizeValue.empty(); }

bool readCanGoNegative() {
    return isTrueText(
        platform::ProfileFile(rewardsFile).read(rewardsSection, canGoNegativeKey, canGoNegativeBufferSize));
}

void BotInstance::loadRewards() {
    const platform::ProfileFile file(rewardsFile);
    auto read = [&](const char* key) { return file.read(rewardsSection, key, rewardValueBufferSize); };

    for (const AmountKey& amount : amountKeys) rewards.*amount.field = amountOf(read(amount.key));

    const int32_t anyPrize = amountOf(read(anyPrizeKey));
    for (int32_t type = lowestPrizeType; type <= highestPrizeType; ++type) {
        const CharString value = read(prizeKey(type).text());
        rewards.prize[type - lowestPrizeType] = paysAnyPrize(value) ? anyPrize : amountOf(value);
    }
}

void BotInstance::rewardDeath(const HostPlayer& died, const HostPlayer& killer) {
    const bool sameTeam = died.team == killer.team;
    const CharString killerName = playerName(killer);
    const CharString diedName = playerName(died);
    BankChange change(*this);  // both awards in one transaction
    awardCredits(sameTeam ? rewards.teamKill : rewards.kill, killerName.text(),
                 {sameTeam ? JournalCause::TeamKill : JournalCause::Kill, diedName.text()});
    awardCredits(sameTeam ? rewards.teamKilled : rewards.killed, diedName.text(),
                 {sameTeam ? JournalCause::TeamDeath : JournalCause::Death, killerName.text()});
}

void BotInstance::rewardPrize(const HostPlayer& player, int32_t prizeType) {
    // The table covers the host's prize types only; anything else pays nothing.
    if (prizeType < lowestPrizeType || prizeType > highestPrizeType) return;
    awardCredits(rewards.prize[prizeType - lowestPrizeType], playerName(player).text(),
                 {JournalCause::Prize, "", prizeType});
}

namespace {

// Every player the host lists, from the head: one amount for the given team,
// the other for everybody else. The event's team is a 32-bit number, the
// player's an unsigned 16-bit one widened without sign.
void payTeams(BotInstance& bot, uint32_t team, int32_t teamAmount, int32_t otherAmount, JournalCause cause) {
    BankChange change(bot);  // every player's award in one transaction
    for (const HostPlayer& player : HostListView<HostPlayer>(bot.playerList)) {
        bot.awardCredits(static_cast<uint32_t>(player.team) == team ? teamAmount : otherAmount,
                         playerName(player).text(), {cause, "", team});
    }
}

}  // namespace

void BotInstance::rewardFlagVictory(uint32_t team) {
    payTeams(*this, team, rewards.flagVictoryTeam, rewards.flagVictoryEnemy, JournalCause::FlagVictory);
}

void BotInstance::rewardSoccerGoal(uint32_t team) {
    payTeams(*this, team, rewards.soccerGoalTeam, rewards.soccerGoalEnemy, JournalCause::SoccerGoal);
}

}  // namespace kadrel
