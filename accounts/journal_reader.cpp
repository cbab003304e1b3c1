#include "accounts/journal_reader.h"

#include <cstring>

namespace kadrel {

namespace {

// Bytes read at a time, without allocating.
constexpr size_t scanBytes = 128 * sizeof(JournalRecord);

// Visits the records of [from, to) as the layout decodes them; the first that
// is not sound ends the walk. False when the bytes cannot be read.
template <class Visit>
bool walkRecords(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t from, uint64_t to,
                 Visit visit) {
    unsigned char bytes[scanBytes];
    const uint64_t perRead = scanBytes / layout.recordSize;
    for (uint64_t at = from; at < to;) {
        const uint64_t left = (to - at) / layout.recordSize;
        const uint64_t count = left < perRead ? left : perRead;
        if (!journal.readAt(at, bytes, static_cast<size_t>(count * layout.recordSize))) return false;
        for (uint64_t i = 0; i < count; ++i) {
            JournalRecord record;
            const unsigned char* next = bytes + i * layout.recordSize;
            bool sound = false;
            if (layout.isCurrent()) {
                std::memcpy(&record, next, sizeof record);
                sound = isSoundRecord(record);
            } else {
                sound = readOldRecord(next, record);
            }
            if (!visit(at + i * layout.recordSize, sound, record)) return true;
        }
        at += count * layout.recordSize;
    }
    return true;
}

}  // namespace

bool readJournalHeader(const platform::SharedFile& journal, JournalHeader& header, uint64_t& size) {
    header = JournalHeader{};
    if (!journal.size(size) || size < oldLayout.headerSize) return false;
    const uint64_t wanted = size < sizeof header ? size : sizeof header;
    return journal.readAt(0, &header, static_cast<size_t>(wanted));
}

// Two walks: the first finds where the last whole transaction ends, the
// second hands over the records before it, so that no transaction counts in
// part.
JournalScan scanJournal(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t from, uint64_t to,
                        JournalVisitor& visitor) {
    JournalScan scan;
    scan.end = from;
    const uint64_t whole = from + (to - from) / layout.recordSize * layout.recordSize;
    uint64_t stop = whole;  // where the sound records end
    const bool read = walkRecords(journal, layout, from, whole, [&](uint64_t at, bool sound, const JournalRecord& r) {
        if (!sound) {
            stop = at;
            return false;
        }
        if ((r.flags & endsTransaction) != 0) scan.end = at + layout.recordSize;
        return true;
    });
    if (!read) {
        scan.end = from;
        scan.ending = JournalScan::Ending::ReadFailed;
        return scan;
    }
    if (stop < whole && stop + layout.recordSize < to) {
        scan.ending = JournalScan::Ending::Damaged;
    } else if (scan.end != to) {
        scan.ending = JournalScan::Ending::TornTail;
    }
    const bool handed = walkRecords(journal, layout, from, scan.end, [&](uint64_t, bool, const JournalRecord& r) {
        visitor.record(r);
        return true;
    });
    if (!handed) {
        scan.end = from;
        scan.ending = JournalScan::Ending::ReadFailed;
    }
    return scan;
}

}  // namespace kadrel
