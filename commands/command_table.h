// Every chat command of the plug-in, described once: its word, who may use
// it, what carries it out and its help entry. The command handler and the
// help listing both walk this table.
#pragma once

#include <span>

#include "commands/access_level.h"
#include "host/bot_instance.h"

namespace kadrel {

using CommandHandler = void (BotInstance::*)(const HostPlayer& sender, const ChatCommand& command);

struct CommandEntry {
    const char* word;  // lower case, without the leading '!'
    AccessClass access;
    CommandHandler handler;
    // Place in the help listing, counted from 1; 0 for a command without a
    // help entry, whose helpLines are then empty.
    uint32_t helpPosition;
    std::span<const char* const> helpLines;
};

// Operator commands first, each class in the order its words are tried.
std::span<const CommandEntry> commandsInDispatchOrder();

// The commands that have a help entry, in the order of the help listing.
std::span<const CommandEntry* const> commandsInHelpOrder();

}  // namespace kadrel
