// The bank and journal of the current directory, opened as one more bot
// would. The plug-in's status lines, which a bot sends to its host, go to the
// error stream.
#pragma once

#include <cstdint>
#include <iostream>
#include <string>

#include "accounts/bank_journal.h"
#include "accounts/ledger.h"

namespace kadrel::tools {

struct SharedBank final : BankReporter {
    void report(const char* message) override { std::cerr << "kadrel bank: " << message << '\n'; }

    // Reads bank and journal, once Quorlen.bank is missing or a file the
    // plug-in loads: a reader never sets a damaged bank aside, which is
    // check --repair's to do. False, saying why on the error stream, when
    // it is neither.
    bool load();

    int32_t credits(const std::string& name) const;
    // Changes a balance by `by` in the ledger, and with `journaled` notes the
    // change for the journal, for the name's first account, opened if none.
    void move(const std::string& name, int64_t by, const ChangeCause& why, bool journaled);

    Ledger ledger;
    BankJournal bank{ledger, *this, 1};
};

}  // namespace kadrel::tools
