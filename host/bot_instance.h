// The state of one bot of the host and every operation on it. The operations
// are defined in the subsystem that owns them: host/, accounts/, shop/ and
// commands/.
#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "accounts/bank_journal.h"
#include "accounts/ledger.h"
#include "accounts/reward_table.h"
#include "core/chain_list.h"
#include "core/char_string.h"
#include "host/host_contract.h"
#include "shop/shop_item.h"

namespace kadrel {

namespace catalogue {
struct LoadReport;
}

constexpr int32_t saveInterval = 300;
// The save at the term event is the last chance of a session: it is tried
// this many times, a short pause apart, before it gives up.
constexpr int termSaveAttempts = 5;

class BotInstance final : private BankReporter {
public:
    explicit BotInstance(uint32_t handle);
    ~BotInstance();
    BotInstance(const BotInstance&) = delete;
    BotInstance& operator=(const BotInstance&) = delete;

    bool disabled = false;
    uint32_t handle;
    HostCallback callback = nullptr;
    const HostList* playerList = nullptr;
    const HostList* flagList = nullptr;
    const char* arenaName = "<Unknown>";
    const void* arenaData = nullptr;
    const void* arenaContext = nullptr;
    int32_t saveCountdown = saveInterval;
    ChainList<ShopItem> shopItems;
    Ledger accounts;
    BankJournal bank;
    bool canGoNegative = false;
    RewardTable rewards;

    // Event dispatch (host/).
    void dispatch(const BotEvent& event);

    // Requests to the host (host/). None goes out while this bot holds the
    // bank's lock, nor ahead of one held back then: they wait, in order,
    // for sendHeldRequests once the event is handled.
    void sendHeldRequests();
    void echo(const char* text) const;
    void sayPrivate(const HostPlayer& player, const char* text) const;
    void sayTeam(uint16_t team, const char* text) const;
    void sayPublic(const char* text) const;

    // Ledger (accounts/). Every change is journaled; a reader or a change
    // that must see the other bots' changes runs inside a BankChange.
    CreditAccount* findAccount(const char* name) const;
    static int32_t accountCredits(const CreditAccount* account);
    void awardCredits(int32_t amount, const char* name, const ChangeCause& why);
    void deductCredits(int32_t amount, const char* name, const ChangeCause& why);
    void clearAccounts(const ChangeCause& why);

    // The gate of a folder that shares its balances with other machines
    // (accounts/). Under a BankChange: whether credits may be taken from the
    // player now; where not, the wish for the player's lease is written.
    bool mayTakeCredits(const char* name);
    bool bankShared() const { return bank.economy().shared(); }
    // At every tick: players come into the arena of a shared folder without
    // a lease get one asked for, so that their first spend finds it.
    void noticeArrivals();

    // Bank file (accounts/).
    void loadBank();
    void saveBank(int attempts = 1);

    // Reward settings and rules (accounts/).
    void loadRewards();
    void rewardDeath(const HostPlayer& died, const HostPlayer& killer);
    void rewardPrize(const HostPlayer& player, int32_t prizeType);
    void rewardFlagVictory(uint32_t team);
    void rewardSoccerGoal(uint32_t team);

    // Shop (shop/).
    // Tells in `report`, when one is given, what became of each section.
    void loadShopItems(catalogue::LoadReport* report = nullptr);
    void clearShopItems();
    const ShopItem* findShopItem(const char* word) const;
    void buyItem(const HostPlayer& buyer, const ChatCommand& command);
    void listShopItems(const HostPlayer& buyer) const;
    void runSpecialAction(int32_t code, const HostPlayer& buyer) const;

    // Chat commands (commands/).
    void handleCommand(const HostPlayer* sender, const ChatCommand* command);
    void showHelp(const HostPlayer* asker, const ChatCommand* command);
    void showAbout(const HostPlayer& sender, const ChatCommand& command);
    void showOwnCredits(const HostPlayer& sender, const ChatCommand& command);
    void donateCredits(const HostPlayer& sender, const ChatCommand& command);
    void giveCredits(const HostPlayer& sender, const ChatCommand& command);
    void takeCredits(const HostPlayer& sender, const ChatCommand& command);
    void showCredits(const HostPlayer& sender, const ChatCommand& command);
    void resetCredits(const HostPlayer& sender, const ChatCommand& command);

private:
    // A request held back with its own copy of the text that `textSlot`
    // points at.
    struct HeldRequest {
        BotEvent request;
        int textSlot;
        CharString text;
    };

    void sendRequest(BotEvent request, int textSlot) const;
    // The bank's status lines go to the host as echoes.
    void report(const char* message) override;
    void handshake(const BotEvent& event);
    void countDownToSave();

    mutable std::deque<HeldRequest> heldRequests;
    // When this bot last wrote a wish for each player's lease, by its clock.
    std::unordered_map<NameKey, int64_t, NameKeyHash> wantedAt;
    // The players of the arena at the last tick, and at this one; sorted.
    std::vector<NameKey> playersBefore;
    std::vector<NameKey> playersNow;
    void wantLease(const char* name, int64_t now);
};

// The answer to `!creset` in a folder that shares its balances.
inline constexpr char resetWhileShared[] = "A reset is not possible while the bank is shared with other machines";

// The answer to a command that would show or spend a balance while the bank
// cannot be read, locked or written; nothing was changed.
inline constexpr char bankUnavailable[] = "The bank is not available right now";

// Holds the bank's lock from catching up with every bot's changes to
// appending this bot's, so that a check of a balance and the change that
// depends on it are one step for all bots. A reply goes out after it ends.
class BankChange {
public:
    explicit BankChange(BotInstance& bot) : bot(bot) { bot.bank.begin(); }
    ~BankChange() { bot.bank.end(); }
    BankChange(const BankChange&) = delete;
    BankChange& operator=(const BankChange&) = delete;

    // A spend is answered only once it is in the journal: false, with the
    // change undone, when it could not be written.
    bool commit() { return bot.bank.commit(); }

private:
    BotInstance& bot;
};

}  // namespace kadrel
