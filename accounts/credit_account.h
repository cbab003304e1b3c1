// One player's balance. The bank file stores each account as an exact image of
// this record: 20 name bytes, then the balance, nothing between or after.
#pragma once

#include <cstdint>

namespace kadrel {

// The longest account name, the one statement of the limit that every part of
// the project refers to: a name ends inside its field, terminator included.
constexpr uint32_t longestAccountName = 19;

struct CreditAccount {
    char name[longestAccountName + 1];
    int32_t credits;
};

static_assert(sizeof(CreditAccount) == 24);

}  // namespace kadrel
