#include "commands/credit_argument.h"
#include "core/char_string.h"
#include "core/text.h"
#include "host/bot_instance.h"
#include "host/chat_line.h"
#include "host/player_fields.h"

namespace kadrel {

void BotInstance::showOwnCredits(const HostPlayer& sender, const ChatCommand&) {
    bool available = false;
    bool known = false;
    CharString reply("You have ");
    {
        BankChange change(*this);
        available = bank.ready();
        const CreditAccount* account = available ? findAccount(playerName(sender).text()) : nullptr;
        known = account != nullptr;
        if (known) reply.appendNumber(account->credits);
    }
    if (!available) {
        sayPrivate(sender, bankUnavailable);
        return;
    }
    if (!known) {
        sayPrivate(sender, "You have never had any credits");
        return;
    }
    reply.append(" credits");
    sayPrivate(sender, reply.text());
}

void BotInstance::showCredits(const HostPlayer& sender, const ChatCommand& command) {
    if (command.parameterText[0] == '\0') {
        sayPrivate(sender, invalidSyntax);
        return;
    }
    // The name is the parameter text exactly as it came, blanks included; a
    // look-up opens no account. A name too long for any account has none: the
    // ledger would cut it and find somebody else's.
    const char* name = command.parameterText;
    CharString reply;
    appendPlayerText(reply, name);
    reply.append(" has ");
    bool available = false;
    {
        BankChange change(*this);
        available = bank.ready();
        if (available) {
            reply.appendNumber(accountCredits(textLength(name) <= longestAccountName ? findAccount(name) : nullptr));
        }
    }
    if (!available) {
        sayPrivate(sender, bankUnavailable);
        return;
    }
    reply.append(" credits");
    sayPrivate(sender, reply.text());
}

}  // namespace kadrel
