#include "commands/command_match.h"

#include <cstring>

#include "core/text.h"

namespace kadrel {

bool matchesCommand(const ChatCommand& command, const char* word) { return std::strcmp(command.commandName, word) == 0; }

bool matchesTopic(const ChatCommand& command, const char* word) {
    for (const char* topic = command.parameterText;; ++topic, ++word) {
        if (toLowerAscii(*topic) != *word) return false;
        if (*word == '\0') return true;
    }
}

}  // namespace kadrel
