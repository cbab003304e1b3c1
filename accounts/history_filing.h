// Which of the journal's records the history holds already, and the number
// it files each of the others under: one rule for the checkpoint that files
// them and for the readers that show them before it does, so that a
// transaction keeps its number from the one to the other. Told in
// accounts/README.md ("Each change is filed once").
#pragma once

#include <cstdint>
#include <span>
#include <unordered_set>

#include "accounts/journal_format.h"
#include "accounts/journal_reader.h"

namespace kadrel {

class HistoryFiling final : public JournalVisitor {
public:
    // `journalFirst`: the number of the journal's first record, 0 for none.
    explicit HistoryFiling(uint64_t journalFirst) : first(journalFirst) {}

    // Whether the history's records must be handed over before the filing:
    // only a journal that starts no further than the history's last (after
    // a crash mid-filing, or restored from a backup) can hold some of them.
    bool needsHistory(uint64_t historyLast) const { return first != 0 && first <= historyLast; }
    // A sound record of the history.
    void record(const JournalRecord& record) override;

    // The filing goes on after the history's last record.
    void startAfter(uint64_t historyLast) { last = historyLast; }
    // The number the journal's record is filed under, its own where it lies
    // past the history's last; 0 when the history holds that very change, or
    // for a record of the first layout or of a kind that takes no number,
    // which is never filed.
    uint64_t numberOf(const JournalRecord& record);
    uint64_t lastNumber() const { return last; }

private:
    uint64_t first;
    uint64_t last = 0;
    std::unordered_set<uint64_t> held;  // changes of the history numbered from `first` on
};

// The number of the first of the records that takes one; 0 for none.
uint64_t firstNumber(std::span<const JournalRecord> records);

}  // namespace kadrel
