// The catalogue as !buy without an argument shows it: name, price and
// description in blank-padded columns.
#include "host/bot_instance.h"

namespace kadrel {

namespace {

constexpr uint32_t priceColumn = 21;
constexpr uint32_t descriptionColumn = 36;

CharString listingLine(const ShopItem& item) {
    CharString line(item.name);
    line.append(" ");
    line = line.padOrCut(priceColumn);
    line.appendNumber(item.value);
    line.append(" ");
    line = line.padOrCut(descriptionColumn);
    line.append(item.description);
    return line;
}

}  // namespace

void BotInstance::listShopItems(const HostPlayer& buyer) const {
    if (shopItems.count == 0) {
        sayPrivate(buyer, "There is nothing to buy");
        return;
    }
    sayPrivate(buyer, "Item name            Price          Description");
    for (const ShopItem& item : shopItems) sayPrivate(buyer, listingLine(item).text());
    sayPrivate(buyer, "Type !buy <item name> to buy something");
}

}  // namespace kadrel
