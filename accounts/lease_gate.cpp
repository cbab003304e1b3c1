// The gate of a folder whose balances kadrel sync shares with other
// machines: credits are taken from a player only within this folder's lease
// of the player, which the sync program holds in the economy's database and
// writes into the journal. The bot never waits for one: it answers at once
// and leaves a wish for the lease in the journal, for the sync program to
// act on. The records are told in accounts/README.md.
#include <algorithm>
#include <cstring>
#include <vector>

#include "host/bot_instance.h"
#include "host/player_fields.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

// A player's wishes are written at most this often, in seconds: the sync
// program needs one to act on, not one per refused command.
constexpr int64_t wishInterval = 5;
// Past this many players the wishes older than the interval are forgotten.
constexpr size_t keptWishes = 1024;

}  // namespace

bool BotInstance::mayTakeCredits(const char* name) {
    const int64_t now = platform::nowSeconds();
    if (bank.economy().mayTake(name, now)) return true;
    wantLease(name, now);
    return false;
}

void BotInstance::wantLease(const char* name, int64_t now) {
    const NameKey key = nameKeyOfText(name);
    const auto last = wantedAt.find(key);
    if (last != wantedAt.end() && now >= last->second && now - last->second < wishInterval) return;
    if (wantedAt.size() >= keptWishes) {
        std::erase_if(wantedAt, [now](const auto& wish) { return now < wish.second || now - wish.second >= wishInterval; });
    }
    bank.reserve(1);
    bank.note(makeWantedRecord(name, now));
    // Only a wish in the journal counts as written; one that failed is
    // tried again at the next refusal.
    if (bank.commit()) wantedAt[key] = now;
}

// The player's name field as a key, never read past its 19th byte: the
// host may leave it unterminated.
NameKey playerKey(const HostPlayer& player) {
    char field[longestName + 1] = {};
    std::memcpy(field, player.name, longestName);
    return nameKeyOfField(field);
}

// Walks the arena's players only in a shared folder, and takes the lock only
// when one came: what the bot last read of the journal may not hold a
// hand-over of the player's lease to another machine yet.
void BotInstance::noticeArrivals() {
    if (!bankShared()) {
        playersBefore.clear();
        return;
    }
    const int64_t now = platform::nowSeconds();
    std::vector<const HostPlayer*> arrivals;
    playersNow.clear();
    for (const HostPlayer& player : HostListView<HostPlayer>(playerList)) {
        const NameKey key = playerKey(player);
        playersNow.push_back(key);
        if (!std::binary_search(playersBefore.begin(), playersBefore.end(), key, nameKeyBefore)) {
            arrivals.push_back(&player);
        }
    }
    std::sort(playersNow.begin(), playersNow.end(), nameKeyBefore);
    playersBefore.swap(playersNow);
    if (arrivals.empty()) return;
    const BankChange change(*this);
    if (!bank.ready()) return;
    for (const HostPlayer* player : arrivals) {
        const CharString name = playerName(*player);
        if (bank.economy().mayTake(playerKey(*player), now)) continue;
        // However soon after its last wish: the player may have been on
        // another machine meanwhile and taken the lease there.
        wantedAt.erase(playerKey(*player));
        wantLease(name.text(), now);
    }
}

}  // namespace kadrel
