#include "commands/credit_argument.h"
#include "host/bot_instance.h"
#include "host/player_fields.h"

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
    const bool taken = spend(*this, [&] {
        deductCredits(argument->amount, argument->name.text(), {JournalCause::OperatorTake, operatorName.text()});
    });
    sayPrivate(sender, taken ? "Credits removed" : bankUnavailable);
}

void BotInstance::resetCredits(const HostPlayer& sender, const ChatCommand&) {
    const CharString operatorName = playerName(sender);
    const bool cleared = spend(*this, [&] { clearAccounts({JournalCause::OperatorReset, operatorName.text()}); });
    sayPrivate(sender, cleared ? "All credits have been cleared" : bankUnavailable);
}

}  // namespace kadrel
