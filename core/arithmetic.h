// Arithmetic on credits, amounts and coordinates. Plain signed arithmetic can
// overflow, which C++ leaves undefined; everything here is defined for every
// input: either two's-complement wrapping or saturation at the 32-bit limits.
#pragma once

#include <cstdint>
#include <limits>

namespace kadrel {

constexpr int32_t toSigned(uint32_t value) { return static_cast<int32_t>(value); }

constexpr int32_t wrappingAdd(int32_t a, int32_t b) {
    return toSigned(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr int32_t wrappingSub(int32_t a, int32_t b) {
    return toSigned(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

constexpr int32_t wrappingMul(int32_t a, int32_t b) {
    return toSigned(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// The exact sum limited to the signed 32-bit range.
constexpr int32_t saturatingAdd(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum);
}

// The exact difference limited to the signed 32-bit range: taking
// -2147483648 adds 2147483648, where a wrapped negation would take it.
constexpr int32_t saturatingSub(int32_t a, int32_t b) {
    const int64_t difference = static_cast<int64_t>(a) - b;
    if (difference > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (difference < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(difference);
}

// Arithmetic shift right, defined for negative values on every compiler.
constexpr int32_t floorShiftRight(int32_t value, unsigned bits) {
    return value >= 0 ? value >> bits : -1 - ((-1 - value) >> bits);
}

}  // namespace kadrel
