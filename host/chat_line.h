// Lines the bot sends as chat: the game server carries out a line that begins
// with '*' as a command given with the bot's rights, so only the operator's
// text and the plug-in's own may put one there.
#pragma once

#include "core/char_string.h"

namespace kadrel {

// Appends text that a player chose (a name, a squad, the words after an item)
// to a line being built. At the very start of the line its leading '*'
// characters are dropped; every other byte is kept, a blank before a '*'
// included, since a line that starts with a blank is no command.
inline void appendPlayerText(CharString& line, const CharString& text) {
    uint32_t skipped = 0;
    if (line.empty()) {
        while (skipped < text.size() && text[skipped] == '*') ++skipped;
    }
    line.append(text.text() + skipped, text.size() - skipped);
}

}  // namespace kadrel
