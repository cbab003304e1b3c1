// !buy with an argument: the checks, the points line, the payment, then the
// item's private lines, public lines and special actions, in that order.
#include <cstdint>

#include "core/text.h"
#include "host/bot_instance.h"
#include "host/player_fields.h"
#include "shop/template.h"

namespace kadrel {

namespace {

// Computed exactly, so that a balance far below zero never passes; at most
// 2^32 - 1. A negative price gives credits and never falls short, whatever
// the balance.
int64_t shortfall(int32_t price, int32_t balance) { return price < 0 ? 0 : static_cast<int64_t>(price) - balance; }

}  // namespace

void BotInstance::buyItem(const HostPlayer& buyer, const ChatCommand& command) {
    const char* argument = command.parameterText != nullptr ? command.parameterText : "";
    if (*argument == '\0') {
        listShopItems(buyer);
        return;
    }
    CharString param(argument);
    const CharString word = splitAt(param, ' ');
    const ShopItem* item = findShopItem(word.text());
    if (item == nullptr) {
        sayPrivate(buyer, "Unknown item");
        return;
    }
    const CharString name = playerName(buyer);
    // The price check and the payment are one step for every bot, so the
    // same credits never pay twice.
    bool available = false;
    int64_t missing = 0;
    bool enoughPoints = true;
    {
        BankChange change(*this);
        // A negative price gives credits, which needs no lease.
        available = bank.ready() && (item->value <= 0 || mayTakeCredits(name.text()));
        if (available) {
            missing = shortfall(item->value, accountCredits(findAccount(name.text())));
            enoughPoints = item->specialPoints == 0 || playerPoints(buyer) >= item->specialPoints;
        }
        if (available && missing <= 0 && enoughPoints) {
            deductCredits(item->value, name.text(), {JournalCause::Purchase, item->name.text(), item->number});
            available = change.commit();
        }
    }
    if (!available) {
        sayPrivate(buyer, bankUnavailable);
        return;
    }
    if (missing > 0) {
        CharString message("You need ");
        message.append(formatNumber(static_cast<uint32_t>(missing), 10, 0, false));
        message.append(" more credits to buy that item");
        sayPrivate(buyer, message.text());
        return;
    }
    if (!enoughPoints) {
        sayPrivate(buyer, "You do not have enough points");
        return;
    }
    if (item->specialPoints != 0) {
        CharString line("*points ");
        line.appendNumber(item->specialPoints);
        sayPrivate(buyer, line.text());
    }
    for (const CharString& action : item->privActions) {
        if (!action.empty()) sayPrivate(buyer, substituteTemplate(action.text(), buyer, param).text());
    }
    for (const CharString& action : item->pubActions) {
        if (!action.empty()) sayPublic(substituteTemplate(action.text(), buyer, param).text());
    }
    for (const int32_t code : item->specialActions) runSpecialAction(code, buyer);
}

}  // namespace kadrel
