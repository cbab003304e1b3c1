// One player's balance. The bank file stores each account as an exact image of
// this record: 20 name bytes, then the balance, nothing between or after.
#pragma once

#include <cstdint>

namespace kadrel {

struct CreditAccount {
    char name[20];
    int32_t credits;
};

static_assert(sizeof(CreditAccount) == 24);

}  // namespace kadrel
