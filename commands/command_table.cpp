#include "commands/command_table.h"

#include <algorithm>
#include <array>

namespace kadrel {

namespace {

constexpr const char* cgiveHelp[] = {"!cgive", "Syntax: !cgive <player name>:<credits>", "Adds credits to a player"};
constexpr const char* ctakeHelp[] = {"!ctake", "Syntax: !ctake <player name>:<credits>",
                                     "Removes credits from a player"};
constexpr const char* cgetHelp[] = {"!cget", "Syntax: !cget <player name>", "Shows how many credits a player has"};
constexpr const char* cresetHelp[] = {"!creset", "Syntax: !creset", "Resets all credits"};
constexpr const char* credsHelp[] = {"!creds", "Syntax: !creds", "Displays how many credits you have"};
constexpr const char* buyHelp[] = {"!buy", "Syntax: !buy [item]", "Buys something from the bot",
                                   "If no item is specified then displays what you can buy"};
constexpr const char* donateHelp[] = {"!donate", "Syntax: !donate <player name>:<credits>",
                                      "Donates some credits to a player"};

constexpr AccessClass operators = AccessClass::Operator;
constexpr AccessClass everyone = AccessClass::Player;

// Rows stand in the order the words are tried; the help listing has an order
// of its own, given by the position column.
constexpr CommandEntry commandTable[] = {
    // word     class      handler                        help
    {"cgive", operators, &BotInstance::giveCredits, 1, cgiveHelp},
    {"ctake", operators, &BotInstance::takeCredits, 2, ctakeHelp},
    {"creset", operators, &BotInstance::resetCredits, 4, cresetHelp},
    {"cget", operators, &BotInstance::showCredits, 3, cgetHelp},
    {"about", everyone, &BotInstance::showAbout, 0, {}},
    {"creds", everyone, &BotInstance::showOwnCredits, 5, credsHelp},
    {"donate", everyone, &BotInstance::donateCredits, 7, donateHelp},
    {"buy", everyone, &BotInstance::buyItem, 6, buyHelp},
};

constexpr auto helpEntryCount = static_cast<size_t>(
    std::ranges::count_if(commandTable, [](const CommandEntry& entry) { return entry.helpPosition != 0; }));

constexpr std::array<const CommandEntry*, helpEntryCount> helpOrder = [] {
    std::array<const CommandEntry*, helpEntryCount> order{};
    for (const CommandEntry& entry : commandTable) {
        if (entry.helpPosition != 0) order[entry.helpPosition - 1] = &entry;
    }
    return order;
}();

constexpr bool isWellFormed() {
    const bool linesMatchPositions = std::ranges::all_of(
        commandTable, [](const CommandEntry& entry) { return (entry.helpPosition == 0) == entry.helpLines.empty(); });
    const bool everyPlaceFilled = std::ranges::none_of(helpOrder, [](const CommandEntry* entry) { return entry == nullptr; });
    return linesMatchPositions && everyPlaceFilled;
}

static_assert(isWellFormed(), "help positions must number the help entries 1, 2, 3, ... without gaps");

}  // namespace

std::span<const CommandEntry> commandsInDispatchOrder() { return commandTable; }

std::span<const CommandEntry* const> commandsInHelpOrder() { return helpOrder; }

}  // namespace kadrel
