// The texts of a host player record, read within their fields: a name or squad
// that the host failed to terminate is cut at the field's end, never read past.
#pragma once

#include <cstring>

#include "accounts/credit_account.h"
#include "core/arithmetic.h"
#include "core/char_string.h"
#include "host/host_contract.h"

namespace kadrel {

inline CharString boundedText(const char* field, uint32_t size) {
    const void* end = std::memchr(field, '\0', size);
    return CharString(field, end != nullptr ? static_cast<uint32_t>(static_cast<const char*>(end) - field) : size);
}

// Cut to the longest account name, which the host's name field holds with its
// terminator: an account name ends inside its field.
static_assert(longestAccountName < sizeof(HostPlayer::name));
inline CharString playerName(const HostPlayer& player) { return boundedText(player.name, longestAccountName); }

inline CharString playerSquad(const HostPlayer& player) { return boundedText(player.squad, sizeof player.squad); }

inline int32_t playerPoints(const HostPlayer& player) { return wrappingAdd(player.score1, player.score2); }

}  // namespace kadrel
