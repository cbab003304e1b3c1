#include "accounts/history_filing.h"

namespace kadrel {

namespace {

// FNV-1a over the record but for its number and check, 64 bits: the same
// change may be held under another number than the journal's, when an
// earlier filing renumbered it and its checkpoint failed after. Two changes
// of one player differ in time or in the balances around them.
uint64_t changeOf(JournalRecord record) {
    record.sequence = 0;
    record.check = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    uint64_t hash = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < sizeof record; ++i) hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}

}  // namespace

void HistoryFiling::record(const JournalRecord& record) {
    if (first != 0 && record.sequence >= first) held.insert(changeOf(record));
}

uint64_t firstNumber(std::span<const JournalRecord> records) {
    for (const JournalRecord& record : records) {
        if (takesNumber(record)) return record.sequence;
    }
    return 0;
}

// Numbers alone never decide: a bank and journal restored together from a
// backup number their records, and the changes made after the restore, as
// the history numbered others.
uint64_t HistoryFiling::numberOf(const JournalRecord& record) {
    if (record.sequence == 0 || !takesNumber(record) || (record.sequence <= last && held.count(changeOf(record)) != 0)) return 0;
    last = record.sequence <= last ? last + 1 : record.sequence;
    return last;
}

}  // namespace kadrel
