#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::buyItem(const HostPlayer&, const ChatCommand&) {}

}  // namespace kadrel
