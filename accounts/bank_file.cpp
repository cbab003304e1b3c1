// The bank as the dispatcher uses it: read with its journal at the init
// event, folded into Quorlen.bank every 300 ticks and at the term event. The
// journal itself (accounts/bank_journal.cpp) keeps every change in between.
#include "host/bot_instance.h"

namespace kadrel {

void BotInstance::loadBank() {
    canGoNegative = readCanGoNegative();
    bank.load(*this);
}

void BotInstance::saveBank(int attempts) { bank.checkpoint(*this, attempts); }

}  // namespace kadrel
