#include "accounts/journal_reader.h"

namespace kadrel {

namespace {

// Records are taken in this many at a time, without allocating.
constexpr size_t scanRecords = 128;

}  // namespace

bool readJournalHeader(const platform::SharedFile& journal, JournalHeader& header, uint64_t& size) {
    return journal.size(size) && size >= journalHeaderSize && journal.readAt(0, &header, sizeof header);
}

JournalScan scanJournal(const platform::SharedFile& journal, uint64_t from, uint64_t to, JournalVisitor& visitor) {
    JournalScan scan;
    scan.end = from;
    const uint64_t whole = from + (to - from) / journalRecordSize * journalRecordSize;
    JournalRecord records[scanRecords];
    for (uint64_t at = from; at < whole;) {
        const uint64_t left = (whole - at) / journalRecordSize;
        const size_t count = left < scanRecords ? static_cast<size_t>(left) : scanRecords;
        if (!journal.readAt(at, records, count * journalRecordSize)) {
            scan.ending = JournalScan::Ending::ReadFailed;
            return scan;
        }
        for (size_t i = 0; i < count; ++i) {
            const uint64_t offset = at + i * journalRecordSize;
            if (!isSoundRecord(records[i])) {
                scan.ending =
                    offset + journalRecordSize == to ? JournalScan::Ending::TornTail : JournalScan::Ending::Damaged;
                return scan;
            }
            visitor.record(records[i]);
            scan.end = offset + journalRecordSize;
        }
        at += count * journalRecordSize;
    }
    if (to > whole) scan.ending = JournalScan::Ending::TornTail;
    return scan;
}

}  // namespace kadrel
