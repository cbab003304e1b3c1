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

}  // namespace

CharString sectorName(int32_t x, int32_t y) {
    const char letter = static_cast<char>(static_cast<uint8_t>(wrappingAdd('A', sectorIndex(x))));
    CharString name(&letter, 1);
    name.appendNumber(wrappingAdd(1, sectorIndex(y)));
    return name;
}

}  // namespace kadrel
