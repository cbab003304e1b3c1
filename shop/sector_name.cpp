#include "shop/sector_name.h"

#include "core/arithmetic.h"

namespace kadrel {

namespace {

constexpr unsigned pixelsPerTileShift = 4;
constexpr int32_t sectorsAcross = 20;
constexpr int32_t tilesAcross = 1024;

int32_t sectorIndex(int32_t pixels) {
    return wrappingMul(floorShiftRight(pixels, pixelsPerTileShift), sectorsAcross) / tilesAcross;
}

// Far off the map the letter's code wraps; where it would be the byte 0, which
// ends a line for the host and would cut off the rest of a report, it is '?'.
constexpr char offMapLetter = '?';

}  // namespace

CharString sectorName(int32_t x, int32_t y) {
    const char wrapped = static_cast<char>(static_cast<uint8_t>(wrappingAdd('A', sectorIndex(x))));
    const char letter = wrapped != '\0' ? wrapped : offMapLetter;
    CharString name(&letter, 1);
    name.appendNumber(wrappingAdd(1, sectorIndex(y)));
    return name;
}

}  // namespace kadrel
