// The parameter text "<player name>:<credits>" of donate, cgive and ctake.
#pragma once

#include <cstdint>
#include <optional>

#include "accounts/credit_account.h"
#include "core/char_string.h"

namespace kadrel {

// The reply to a parameter text that a command cannot read.
inline constexpr char invalidSyntax[] = "Invalid syntax";

struct CreditArgument {
    CharString name;  // blanks cut from both ends
    int32_t amount;
};

// The name and amount, or none when the text is not a valid pair: empty, a
// name spelled like the amount, an amount that is not a signed 32-bit decimal
// number, or a name too long for any account (no player can have it, and
// cutting it could credit somebody else).
std::optional<CreditArgument> readCreditArgument(const char* parameterText);

}  // namespace kadrel
