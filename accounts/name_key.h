// An account name reduced to what the matching rule sees: the bytes before the
// terminator, at most 19, with the ASCII capitals folded. Two names match
// exactly when their keys are equal, so a look-up compares three words instead
// of walking bytes.
#pragma once

#include <cstdint>
#include <cstring>

namespace kadrel {

constexpr uint32_t longestName = 19;

struct NameKey {
    uint64_t words[3];

    bool operator==(const NameKey& other) const {
        return words[0] == other.words[0] && words[1] == other.words[1] && words[2] == other.words[2];
    }

    uint64_t hash() const {
        const uint64_t mixed = (words[0] * 0x9E3779B97F4A7C15ull) ^ (words[1] * 0xC2B2AE3D27D4EB4Full) ^
                               (words[2] * 0x165667B19E3779F9ull);
        return mixed ^ (mixed >> 29);
    }
};

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
    NameKey key{};
    std::memcpy(&key.words[0], field, 8);
    std::memcpy(&key.words[1], field + 8, 8);
    std::memcpy(&key.words[2], field + 16, 4);
    for (uint64_t& word : key.words) {
        const uint64_t zeros = zeroBytes(word);
        if (zeros != 0) {
            word &= ((zeros & (~zeros + 1)) >> 7) - 1;  // keep the bytes below the terminator
            for (uint64_t* rest = &word + 1; rest != key.words + 3; ++rest) *rest = 0;
            break;
        }
    }
    for (uint64_t& word : key.words) word = foldCapitals(word);
    return key;
}

// Any NUL-terminated name; a longer one is cut to 19 characters first.
inline NameKey nameKeyOfText(const char* name) {
    char field[20] = {};
    for (uint32_t i = 0; i < longestName && name[i] != '\0'; ++i) field[i] = name[i];
    return nameKeyOfField(field);
}

}  // namespace kadrel
