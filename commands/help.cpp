#include "commands/command_match.h"
#include "commands/command_table.h"
#include "host/bot_instance.h"

namespace kadrel {

namespace {

struct OverviewLine {
    AccessClass access;
    const char* text;
};

// Fixed texts rather than lists built from the table: the operator line has
// its comma after the first word only.
constexpr OverviewLine overview[] = {
    {AccessClass::Operator, "!cgive, !ctake !cget !creset"},
    {AccessClass::Player, "!about !creds !buy !donate"},
};

}  // namespace

void BotInstance::showHelp(const HostPlayer* asker, const ChatCommand* command) {
    if (asker == nullptr || command == nullptr) return;
    const std::optional<AccessClass> access = accessClassOf(asker->accessLevel);
    if (!access) return;
    if (command->parameterText[0] == '\0') {
        for (const OverviewLine& line : overview) {
            if (isOpenTo(line.access, *access)) sayPrivate(*asker, line.text);
        }
        return;
    }
    // A topic that matches no entry open to the asker is not answered.
    for (const CommandEntry* entry : commandsInHelpOrder()) {
        if (isOpenTo(entry->access, *access) && matchesTopic(*command, entry->word)) {
            for (const char* line : entry->helpLines) sayPrivate(*asker, line);
            return;
        }
    }
}

}  // namespace kadrel
