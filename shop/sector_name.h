// Map positions as the players name them: a letter for the column, a number
// for the row, twenty sectors each way across 1024 tiles.
#pragma once

#include <cstdint>

#include "core/char_string.h"

namespace kadrel {

constexpr int32_t pixelsPerTile = 16;

// The sector of a position in pixels. Nothing is clamped: positions off the
// map give later letters and higher numbers, wrapping in 32 bits, and the
// letter is the low byte of its code, or '?' where that byte would be 0.
CharString sectorName(int32_t x, int32_t y);

}  // namespace kadrel
