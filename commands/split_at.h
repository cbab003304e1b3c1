// Cutting a parameter text into pieces: the credit commands split
// "<player name>:<credits>" at the colon, the shop splits at a blank.
#pragma once

#include "core/char_string.h"

namespace kadrel {

// The longest rest that splitAt keeps.
constexpr uint32_t splitRestLimit = 32000;

// Returns the trimmed head of `text` before the first `separator` and leaves
// `text` holding the trimmed rest after it (at most splitRestLimit bytes).
// Without a separator the head is the whole text trimmed and `text` stays as
// it was, blanks included. Only blanks (0x20) are trimmed.
CharString splitAt(CharString& text, char separator);

}  // namespace kadrel
