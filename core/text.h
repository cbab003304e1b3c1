// The text routines that every subsystem uses. Text is bytes: no character set
// is assumed and the only case folding is that of the ASCII capitals.
#pragma once

#include <cstdint>

#include "core/char_string.h"

namespace kadrel {

uint32_t textLength(const char* text);
char toLowerAscii(char byte);
bool equalsNoCase(const char* a, const char* b);

// An optional single leading '-' followed by one or more digits, nothing else.
bool isNumeric(const char* text);

// The digits' value modulo 2^32, negated for a leading '-'; wraps silently.
int32_t parseInteger(const char* text, int32_t base);

// Like isNumeric, and additionally the value fits a signed 32-bit number, so
// that parseInteger gives it without wrapping.
bool isNumericInRange(const char* text);

CharString formatNumber(uint32_t value, uint32_t base, uint16_t minimumWidth, bool signFlag);

// Index of the first occurrence of the pattern, or -1.
int32_t findText(const char* text, const char* pattern);

// Every non-overlapping occurrence replaced, left to right; the pattern is
// never empty.
CharString replaceAll(const char* text, const char* pattern, const char* replacement);

// The longest rest that splitAt keeps.
constexpr uint32_t splitRestLimit = 32000;

// Cuts a parameter text in two: the credit commands split
// "<player name>:<credits>" at the colon, the shop splits at a blank.
// Returns the trimmed head of `text` before the first `separator` and leaves
// `text` holding the trimmed rest after it (at most splitRestLimit bytes).
// Without a separator the head is the whole text trimmed and `text` stays as
// it was, blanks included. Only blanks (0x20) are trimmed.
CharString splitAt(CharString& text, char separator);

}  // namespace kadrel
