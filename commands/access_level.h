// The host's access levels as the commands see them: 0 is an ordinary player,
// 1 to 12 are operators, and anything above is not served at all.
#pragma once

#include <cstdint>
#include <optional>

namespace kadrel {

enum class AccessClass : uint8_t { Player, Operator };

constexpr uint32_t playerLevel = 0;
constexpr uint32_t lowestOperatorLevel = playerLevel + 1;
constexpr uint32_t highestOperatorLevel = 12;

// The class of a level, or none for a level above 12 (compared unsigned, so a
// level that would read as negative is above 12 too): such a player's
// commands and help requests are dropped without a reply.
constexpr std::optional<AccessClass> accessClassOf(uint32_t level) {
    if (level > highestOperatorLevel) return std::nullopt;
    return level == playerLevel ? AccessClass::Player : AccessClass::Operator;
}

// Operators may use every command; players only those meant for everyone.
constexpr bool isOpenTo(AccessClass required, AccessClass asker) {
    return required == AccessClass::Player || asker == AccessClass::Operator;
}

}  // namespace kadrel
