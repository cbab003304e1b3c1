#include "commands/credit_argument.h"
#include "host/bot_instance.h"

namespace kadrel {

namespace {

// A take or a reset may leave a balance lower than another bot could see it:
// like a spend, it is made only with the bank in hand and answered only once
// it is in the journal.
template <class Change>
bool spend(BotInstance& bot, const Change& change) {
    BankChange step(bot);
    if (!bot.bank.ready()) return false;
    change();
    return step.commit();
}

}  // namespace

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
    sayPrivate(sender, spend(*this, [&] { deductCredits(argument->amount, argument->name.text()); }) ? "Credits removed"
                                                                                                     : bankUnavailable);
}

void BotInstance::resetCredits(const HostPlayer& sender, const ChatCommand&) {
    sayPrivate(sender, spend(*this, [&] { clearAccounts(); }) ? "All credits have been cleared" : bankUnavailable);
}

}  // namespace kadrel
