// kadrel sync's part of a folder's journal as the bots see it: its records,
// written as the sync program writes them, as one more participant of the
// folder under the journal's lock. For the tests that link the plug-in's
// code in.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "accounts/bank_journal.h"
#include "accounts/journal_writer.h"
#include "accounts/ledger.h"

namespace kadrel::testing {

class EconomyWriter final : private BankReporter {
public:
    EconomyWriter() { bank.load(); }
    ~EconomyWriter() { bank.close(); }

    // Records in one hold of the lock; each one flagged as a transaction's
    // end closes the transaction of those noted before it.
    void write(std::initializer_list<JournalRecord> records) {
        const BankJournal::Hold hold(bank);
        for (const JournalRecord& record : records) {
            bank.reserve(1);
            applyJournalRecord(ledger, record);
            bank.note(record);
            if ((record.flags & endsTransaction) != 0 && !bank.commit()) ADD_FAILURE() << "not written";
        }
    }

private:
    void report(const char* message) override { ADD_FAILURE() << message; }

    kadrel::Ledger ledger;
    BankJournal bank{ledger, *this, 99};
};

// The records of a journal file's bytes, of the current layout; of a history
// file's from its records' start, 16.
inline std::vector<JournalRecord> journalRecords(const std::string& bytes, size_t start = sizeof(JournalHeader)) {
    std::vector<JournalRecord> records(bytes.size() > start ? (bytes.size() - start) / sizeof(JournalRecord) : 0);
    if (!records.empty()) std::memcpy(records.data(), bytes.data() + start, records.size() * sizeof(JournalRecord));
    return records;
}

}  // namespace kadrel::testing
