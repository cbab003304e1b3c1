#include "commands/credit_argument.h"
#include "host/bot_instance.h"
#include "host/player_fields.h"

namespace kadrel {

namespace {

enum class Spent { Done, Unavailable, Shared };

// A take or a reset may leave a balance lower than another bot could see it:
// like a spend, it is made only with the bank in hand, and what the folder's
// sharing allows, and answered only once it is in the journal.
template <class Allowed, class Change>
Spent spend(BotInstance& bot, const Allowed& allowed, const Change& change) {
    BankChange step(bot);
    if (!bot.bank.ready()) return Spent::Unavailable;
    const Spent permitted = allowed();
    if (permitted != Spent::Done) return permitted;
    change();
    return step.commit() ? Spent::Done : Spent::Unavailable;
}

}  // namespace

void BotInstance::giveCredits(const HostPlayer& sender, const ChatCommand& command) {
    const std::optional<CreditArgument> argument = readCreditArgument(command.parameterText);
    if (!argument) {
        sayPrivate(sender, invalidSyntax);
        return;
    }
    awardCredits(argument->amount, argument->name.text(), {JournalCause::OperatorGive, playerName(sender).text()});
    sayPrivate(sender, "Credits added");
}

void BotInstance::takeCredits(const HostPlayer& sender, const ChatCommand& command) {
    const std::optional<CreditArgument> argument = readCreditArgument(command.parameterText);
    if (!argument) {
        sayPrivate(sender, invalidSyntax);
        return;
    }
    const CharString operatorName = playerName(sender);
    const char* name = argument->name.text();
    // A take of a negative amount gives credits, which needs no lease.
    const Spent taken = spend(
        *this,
        [&] { return argument->amount <= 0 || mayTakeCredits(name) ? Spent::Done : Spent::Unavailable; },
        [&] { deductCredits(argument->amount, name, {JournalCause::OperatorTake, operatorName.text()}); });
    sayPrivate(sender, taken == Spent::Done ? "Credits removed" : bankUnavailable);
}

void BotInstance::resetCredits(const HostPlayer& sender, const ChatCommand&) {
    const CharString operatorName = playerName(sender);
    // A reset here would not reach the balances of the other machines.
    const Spent cleared = spend(
        *this, [&] { return bankShared() ? Spent::Shared : Spent::Done; },
        [&] { clearAccounts({JournalCause::OperatorReset, operatorName.text()}); });
    sayPrivate(sender, cleared == Spent::Done        ? "All credits have been cleared"
                       : cleared == Spent::Shared ? resetWhileShared
                                                  : bankUnavailable);
}

}  // namespace kadrel
