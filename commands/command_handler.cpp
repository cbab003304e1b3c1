#include "host/bot_instance.h"

namespace kadrel {

namespace {

constexpr uint32_t highestServedLevel = 12;

bool matchesCommand(const ChatCommand& command, const char* word) {
    const char* name = command.commandName;
    for (; *word != '\0'; ++name, ++word) {
        if (*name != *word) return false;
    }
    return *name == '\0';
}

}  // namespace

void BotInstance::handleCommand(const HostPlayer* sender, const ChatCommand* command) {
    if (sender == nullptr || command == nullptr) return;
    if (sender->accessLevel > highestServedLevel) return;
    if (matchesCommand(*command, "buy")) buyItem(*sender, *command);
}

}  // namespace kadrel
