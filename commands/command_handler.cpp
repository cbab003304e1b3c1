#include "commands/command_match.h"
#include "commands/command_table.h"
#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::handleCommand(const HostPlayer* sender, const ChatCommand* command) {
    if (sender == nullptr || command == nullptr) return;
    const std::optional<AccessClass> access = accessClassOf(sender->accessLevel);
    if (!access) return;
    for (const CommandEntry& entry : commandsInDispatchOrder()) {
        if (isOpenTo(entry.access, *access) && matchesCommand(*command, entry.word)) {
            (this->*entry.handler)(*sender, *command);
            return;
        }
    }
}

}  // namespace kadrel
