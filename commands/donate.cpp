#include "commands/credit_argument.h"
#include "core/arithmetic.h"
#include "core/char_string.h"
#include "host/bot_instance.h"
#include "host/player_fields.h"

namespace kadrel {

void BotInstance::donateCredits(const HostPlayer& sender, const ChatCommand& command) {
    const std::optional<CreditArgument> argument = readCreditArgument(command.parameterText);
    if (!argument) {
        sayPrivate(sender, invalidSyntax);
        return;
    }
    const int32_t amount = argument->amount;
    if (amount < 0) {
        sayPrivate(sender, "Ill donate you -$5000 first");
        return;
    }
    const CharString senderName = playerName(sender);
    // The check and both changes are one step for every bot: the same
    // credits cannot be given twice on two bots.
    bool available = false;
    bool enough = false;
    int32_t moved = 0;
    {
        BankChange change(*this);
        available = bank.ready() && mayTakeCredits(senderName.text());
        enough = available && accountCredits(findAccount(senderName.text())) >= amount;
        if (enough) {
            // A donation moves credits, it never makes or destroys them: a
            // recipient near the upper limit takes only what fits, and the
            // sender pays only that. A donation to one's own account thus
            // leaves it as it was.
            const char* recipient = argument->name.text();
            const int32_t before = accountCredits(findAccount(recipient));
            moved = wrappingSub(saturatingAdd(before, amount), before);
            awardCredits(moved, recipient, {JournalCause::DonationReceived, senderName.text()});
            deductCredits(moved, senderName.text(), {JournalCause::DonationGiven, recipient});
            available = change.commit();
        }
    }
    if (!available) {
        sayPrivate(sender, bankUnavailable);
        return;
    }
    if (!enough) {
        sayPrivate(sender, "You do not have enough credits");
        return;
    }

    CharString reply(moved);
    reply.append(" credits donated to ");
    reply.append(argument->name);
    sayPrivate(sender, reply.text());
}

}  // namespace kadrel
