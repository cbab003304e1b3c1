#include "commands/credit_argument.h"
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
    deductCredits(argument->amount, argument->name.text());
    sayPrivate(sender, "Credits removed");
}

void BotInstance::resetCredits(const HostPlayer& sender, const ChatCommand&) {
    clearAccounts();
    sayPrivate(sender, "All credits have been cleared");
}

}  // namespace kadrel
