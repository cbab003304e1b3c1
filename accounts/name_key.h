// An account name reduced to what the matching rule sees: the bytes before the
// terminator, at most 19, with the ASCII capitals folded. Two names match
// exactly when their keys are equal, so a look-up compares three words instead
// of walking bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "accounts/credit_account.h"

namespace kadrel {

constexpr uint32_t longestName = longestAccountName;
// The key's three words cover exactly the 20 bytes of a name's field.
static_assert(longestName + 1 == 20);

struct NameKey {
    uint64_t words[3];

    bool operator==(const NameKey& other) const {
        return words[0] == other.words[0] && words[1] == other.words[1] && words[2] == other.words[2];
    }

    // Every input bit reaches every output bit: names often differ only in
    // their last characters (Pilot1, Pilot2, ...).
    uint64_t hash() const {
        uint64_t mixed = words[0] ^ (words[1] * 0x9E3779B97F4A7C15ull) ^ (words[2] * 0xC2B2AE3D27D4EB4Full);
        mixed ^= mixed >> 33;
        mixed *= 0xFF51AFD7ED558CCDull;
        mixed ^= mixed >> 33;
        mixed *= 0xC4CEB9FE1A85EC53ull;
        return mixed ^ (mixed >> 33);
    }
};

struct NameKeyHash {
    size_t operator()(const NameKey& key) const { return static_cast<size_t>(key.hash()); }
};

// Some order of the keys, for sorted lists of them.
inline bool nameKeyBefore(const NameKey& a, const NameKey& b) {
    if (a.words[0] != b.words[0]) return a.words[0] < b.words[0];
    if (a.words[1] != b.words[1]) return a.words[1] < b.words[1];
    return a.words[2] < b.words[2];
}

namespace nameKeyDetail {

constexpr uint64_t everyByte(uint8_t value) { return 0x0101010101010101ull * value; }

// Bit 7 of each byte that is zero; exact for the lowest zero byte, which is
// the only one used.
constexpr uint64_t zeroBytes(uint64_t word) { return (word - everyByte(1)) & ~word & everyByte(0x80); }

// 'A' to 'Z' become 'a' to 'z'; every other byte, 0x80 and up included, stays.
constexpr uint64_t foldCapitals(uint64_t word) {
    const uint64_t low = word & everyByte(0x7F);
    const uint64_t atLeastA = low + everyByte(0x80 - 'A');
    const uint64_t aboveZ = low + everyByte(0x80 - 'Z' - 1);
    const uint64_t capitals = atLeastA & ~aboveZ & ~word & everyByte(0x80);
    return word | (capitals >> 2);
}

}  // namespace nameKeyDetail

// `field` must have 20 readable bytes with a NUL at byte 19 at the latest, as
// every stored account name has; what follows the terminator is ignored.
inline NameKey nameKeyOfField(const char* field) {
    using namespace nameKeyDetail;
    uint64_t first, second;
    uint32_t third;
    std::memcpy(&first, field, 8);
    std::memcpy(&second, field + 8, 8);
    std::memcpy(&third, field + 16, 4);
    uint64_t last = third;  // the four high bytes are zero, so a terminator is always found
    // Bits 0 .. 8k-1 set, k being the position of the lowest zero byte.
    auto below = [](uint64_t zeros) { return ((zeros & (~zeros + 1)) >> 7) - 1; };
    if (const uint64_t zeros = zeroBytes(first); zeros != 0) {
        first &= below(zeros);
        second = last = 0;
    } else if (const uint64_t zeros2 = zeroBytes(second); zeros2 != 0) {
        second &= below(zeros2);
        last = 0;
    } else {
        last &= below(zeroBytes(last));
    }
    return NameKey{{foldCapitals(first), foldCapitals(second), foldCapitals(last)}};
}

// Any NUL-terminated name; a longer one is cut to 19 characters first.
inline NameKey nameKeyOfText(const char* name) {
    char field[longestName + 1] = {};
    for (uint32_t i = 0; i < longestName && name[i] != '\0'; ++i) field[i] = name[i];
    return nameKeyOfField(field);
}

}  // namespace kadrel
