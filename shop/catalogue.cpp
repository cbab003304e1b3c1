#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::loadShopItems() { clearShopItems(); }

void BotInstance::clearShopItems() { shopItems.clear(); }

const ShopItem* BotInstance::findShopItem(const char*) const { return nullptr; }

}  // namespace kadrel
