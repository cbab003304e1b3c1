#include "accounts/journal_reader.h"

#include <cstring>

namespace kadrel {

namespace {

// Bytes read at a time, without allocating.
constexpr size_t scanBytes = 128 * sizeof(JournalRecord);

// Visits the records of [from, to) as the layout decodes them; the first that
// is not sound ends the walk. False when the bytes cannot be read.
template <class Read, class Visit>
bool walkRecords(const Read& readAt, const JournalLayout& layout, uint64_t from, uint64_t to, Visit visit) {
    unsigned char bytes[scanBytes];
    const uint64_t perRead = scanBytes / layout.recordSize;
    for (uint64_t at = from; at < to;) {
        const uint64_t left = (to - at) / layout.recordSize;
        const uint64_t count = left < perRead ? left : perRead;
        if (!readAt(at, bytes, static_cast<size_t>(count * layout.recordSize))) return false;
        for (uint64_t i = 0; i < count; ++i) {
            JournalRecord record;
            const bool sound = decodeRecord(layout, bytes + i * layout.recordSize, record);
            if (!visit(at + i * layout.recordSize, sound, record)) return true;
        }
        at += count * layout.recordSize;
    }
    return true;
}

// Two walks: the first finds where the last whole transaction ends, the
// second hands over the records before it, so that no transaction counts in
// part.
template <class Read>
JournalScan scanRecords(const Read& readAt, const JournalLayout& layout, uint64_t from, uint64_t to,
                        JournalVisitor& visitor) {
    JournalScan scan;
    scan.end = from;
    const uint64_t whole = from + (to - from) / layout.recordSize * layout.recordSize;
    uint64_t stop = whole;  // where the sound records end
    bool newer = false;
    const bool read = walkRecords(readAt, layout, from, whole, [&](uint64_t at, bool sound, const JournalRecord& r) {
        if (!sound || !canApply(r)) {
            stop = at;
            newer = sound;
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
    if (newer || (stop < whole && stop + layout.recordSize < to)) {
        scan.ending = newer ? JournalScan::Ending::Newer : JournalScan::Ending::Damaged;
        scan.damagedAt = stop;
    } else if (scan.end != to) {
        scan.ending = JournalScan::Ending::TornTail;
    }
    const bool handed = walkRecords(readAt, layout, from, scan.end, [&](uint64_t, bool, const JournalRecord& r) {
        visitor.record(r);
        return true;
    });
    if (!handed) {
        scan.end = from;
        scan.ending = JournalScan::Ending::ReadFailed;
    }
    return scan;
}

}  // namespace

bool readJournalHeader(const platform::SharedFile& journal, JournalHeader& header, uint64_t& size) {
    header = JournalHeader{};
    if (!journal.size(size) || size < oldLayout.headerSize) return false;
    const uint64_t wanted = size < sizeof header ? size : sizeof header;
    return journal.readAt(0, &header, static_cast<size_t>(wanted));
}

bool decodeRecord(const JournalLayout& layout, const unsigned char* bytes, JournalRecord& record) {
    if (!layout.isCurrent()) return readOldRecord(bytes, record);
    std::memcpy(&record, bytes, sizeof record);
    return isSoundRecord(record);
}

JournalScan scanJournal(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t from, uint64_t to,
                        JournalVisitor& visitor) {
    const auto readAt = [&journal](uint64_t at, void* bytes, size_t size) { return journal.readAt(at, bytes, size); };
    return scanRecords(readAt, layout, from, to, visitor);
}

JournalScan scanJournalBytes(std::span<const unsigned char> journal, const JournalLayout& layout,
                             JournalVisitor& visitor) {
    const auto readAt = [journal](uint64_t at, void* bytes, size_t size) {
        std::memcpy(bytes, journal.data() + at, size);
        return true;
    };
    return scanRecords(readAt, layout, layout.headerSize, journal.size(), visitor);
}

JournalFate journalFate(const JournalHeader& header, uint64_t bankLength, uint64_t bankHash, bool bankMissing) {
    if (header.pendingHash != 0 && header.pendingHash == bankHash && header.pendingLength == bankLength) {
        return JournalFate::Folded;
    }
    if (header.bankLength == bankLength && header.bankHash == bankHash) return JournalFate::Apply;
    return bankMissing ? JournalFate::BankMissing : JournalFate::Adopt;
}

}  // namespace kadrel
