// One entry of the shop catalogue.
#pragma once

#include <cstdint>

#include "core/char_string.h"

namespace kadrel {

constexpr int actionSlots = 10;

struct ShopItem {
    int32_t number = 0;  // of its section, [ItemN]
    CharString name;
    CharString description;
    int32_t value = 0;
    CharString privActions[actionSlots];
    CharString pubActions[actionSlots];
    int32_t specialActions[actionSlots] = {};
    int32_t specialPoints = 0;
};

}  // namespace kadrel
