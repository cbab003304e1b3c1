// The bank and journal of the current directory: read as they are, for a
// command that only looks, or opened as one more bot would, for one that
// changes them. The plug-in's status lines, which a bot sends to its host,
// go to the error stream.
#pragma once

#include <cstdint>
#include <iostream>
#include <string>

#include "accounts/bank_journal.h"
#include "accounts/bank_reader.h"
#include "accounts/ledger.h"
#include "tools/bank_view.h"

namespace kadrel::tools {

struct SharedBank final : BankReporter {
    void report(const char* message) override { std::cerr << "kadrel bank: " << message << '\n'; }

    // Reads bank and journal, once Quorlen.bank is missing or a file the
    // plug-in loads: a reader never sets a damaged bank aside, which is
    // check --repair's to do. False, saying why on the error stream, when
    // it is neither. With `forChange` as a bot, which then holds the lock
    // between begin() and end(); otherwise as a snapshot, taking no lock and
    // writing nothing, and begin() and end() do nothing.
    bool load(bool forChange = true);

    int32_t credits(const std::string& name) const;
    // Brings the journal's bytes to the disk, whoever wrote them: a change
    // is said to be made only then. False when the flush failed.
    static bool flushJournal();
    // Changes a balance by `by` in the ledger, and with `journaled` notes the
    // change for the journal, for the name's first account, opened if none.
    void move(const std::string& name, int64_t by, const ChangeCause& why, bool journaled);
    // Under the lock: a folder whose balances kadrel sync shares with other
    // machines takes no change that would reach them without any debit
    // crossing it (set, import, undo, rollback). True, saying so on the
    // error stream, when the folder of `bankFile` is shared.
    bool refusesEconomyChange(const std::string& bankFile) const;

    Ledger ledger;
    BankJournal bank{ledger, *this, 1};
};

// Bank plus journal of the current directory as one state of the files,
// into an empty ledger; `shownPath` names the bank in messages. Says on the
// error stream what the read passed over, and false when no balance can be
// had.
bool readSnapshot(Ledger& ledger, const std::string& shownPath);

}  // namespace kadrel::tools
