#include <limits>

#include "commands/credit_argument.h"
#include "core/arithmetic.h"
#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::giveCredits(const HostPlayer& sender, const ChatCommand& command) {
    const std::optional<CreditArgument> argument = readCreditArgument(command.parameterText);
    if (!argument) {
        sayPrivate(sender, invalidSyntax);
        return;
    }
    awardCredits(argument->amount, argument->name.text());
    sayPrivate(sender, "Credits added");
}

void BotInstance::takeCredits(const HostPlayer& sender, const ChatCommand& command) {
    const std::optional<CreditArgument> argument = readCreditArgument(command.parameterText);
    if (!argument) {
        sayPrivate(sender, invalidSyntax);
        return;
    }
    const char* name = argument->name.text();
    constexpr int32_t lowest = std::numeric_limits<int32_t>::min();
    if (argument->amount == lowest) {
        // Taking the lowest amount gives 2147483648, one more than an award
        // can carry; two awards of the same sign saturate like one.
        awardCredits(std::numeric_limits<int32_t>::max(), name);
        awardCredits(1, name);
    } else {
        awardCredits(wrappingNeg(argument->amount), name);
    }
    sayPrivate(sender, "Credits removed");
}

void BotInstance::resetCredits(const HostPlayer& sender, const ChatCommand&) {
    clearAccounts();
    sayPrivate(sender, "All credits have been cleared");
}

}  // namespace kadrel
