// How a chat command's word and a help topic are recognised.
#pragma once

#include "host/host_contract.h"

namespace kadrel {

// The command word equals `word` byte for byte: commands are recognised only
// in lower case, exactly as listed.
bool matchesCommand(const ChatCommand& command, const char* word);

// The whole parameter text, ASCII capitals folded, equals `word` (which is
// lower case): no prefix, no blanks around it.
bool matchesTopic(const ChatCommand& command, const char* word);

}  // namespace kadrel
