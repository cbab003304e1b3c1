// The bank and journal of the current directory, opened as one more bot
// would. The plug-in's status lines, which a bot sends to its host, go to the
// error stream.
#pragma once

#include <iostream>

#include "accounts/bank_journal.h"
#include "accounts/ledger.h"

namespace kadrel::tools {

struct SharedBank final : BankReporter {
    void report(const char* message) override { std::cerr << "kadrel bank: " << message << '\n'; }
    Ledger ledger;
    BankJournal bank{ledger, *this, 1};
};

}  // namespace kadrel::tools
