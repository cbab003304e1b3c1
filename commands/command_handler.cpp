#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::handleCommand(const HostPlayer*, const ChatCommand*) {}

}  // namespace kadrel
