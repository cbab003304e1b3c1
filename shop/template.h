// The chat-line templates of bought items: placeholders filled with the
// buyer's details.
#pragma once

#include "core/char_string.h"
#include "host/host_contract.h"

namespace kadrel {

struct Placeholder {
    const char* text;
    // The value is text a player chose: where it opens a line, its leading
    // '*' characters are dropped (host/chat_line.h).
    bool playerChose;
};

// The placeholders of a template, in the order they claim their occurrences;
// the buyer's name, points, squad, team shown to players (private teams
// hidden), team number, and the text typed after the item's name.
constexpr Placeholder placeholders[] = {{"%name%", true},   {"%points%", false}, {"%squad%", true},
                                        {"%freq1%", false}, {"%freq2%", false},  {"%param%", true}};

// Fills the placeholders of the operator's template. Only the template is
// searched: a value that holds a placeholder's text (a squad named %param%,
// say) goes out as it stands.
CharString substituteTemplate(const char* pattern, const HostPlayer& buyer, const CharString& param);

}  // namespace kadrel
