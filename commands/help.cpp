#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::showHelp(const HostPlayer*, const ChatCommand*) {}

}  // namespace kadrel
