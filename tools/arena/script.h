// The arena's language: one line, one step. Players join and leave, move,
// carry flags, kill each other, pick up prizes and type chat commands; the
// bot is connected, ticked and disconnected.
#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/arena/arena.h"

namespace kadrel::tools {

using Action = std::function<void(Arena&)>;

// The step a line asks for; an empty action for a blank line or a comment
// (a line starting with #). Throws ScriptError for a malformed line.
Action parseLine(std::string_view line);

struct ScriptLine {
    size_t number;
    std::string text;
    Action action;
};

// Every line of a script, each checked before the first one runs, so that a
// typo at the end does not leave a half-played arena and a changed bank file
// behind. Each malformed line goes to `errors` as NAME:LINE and the line;
// nothing is returned when there was one.
std::optional<std::vector<ScriptLine>> readScript(std::istream& in, const std::string& name, std::ostream& errors);

// Plays the lines in order, the transcript to the arena's output: each step
// after "> ", comments and blank lines as written. False, with the line
// named on `errors`, when a step cannot be carried out; the run stops there.
bool playScript(const std::vector<ScriptLine>& lines, Arena& arena, const std::string& name, std::ostream& errors);

// The language's summary, or one command's usage; false for an unknown word.
bool printLanguageHelp(std::ostream& out, std::string_view word);

}  // namespace kadrel::tools
