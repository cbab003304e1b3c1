// The arena's language: one line, one step. Players join and leave, move,
// carry flags, kill each other, pick up prizes and type chat commands; the
// bot is connected, ticked and disconnected.
#pragma once

#include <functional>
#include <ostream>
#include <string_view>

#include "tools/arena/arena.h"

namespace kadrel::tools {

using Action = std::function<void(Arena&)>;

// The step a line asks for; an empty action for a blank line or a comment
// (a line starting with #). Throws ScriptError for a malformed line.
Action parseLine(std::string_view line);

// The language's summary, or one command's usage; false for an unknown word.
bool printLanguageHelp(std::ostream& out, std::string_view word);

}  // namespace kadrel::tools
