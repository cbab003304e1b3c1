// The bank as the dispatcher uses it: read with its journal at the init
// event, folded into Quorlen.bank every saveInterval ticks and at the term
// event. The journal (accounts/bank_journal.h) keeps every change in between.
#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::loadBank() {
    canGoNegative = readCanGoNegative();
    bank.load();
}

void BotInstance::saveBank(int attempts) { bank.checkpoint(attempts); }

void BotInstance::report(const char* message) { echo(message); }

}  // namespace kadrel
