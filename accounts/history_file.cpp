#include "accounts/history_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "accounts/bank_reader.h"
#include "accounts/history_filing.h"
#include "core/civil_time.h"

namespace kadrel {

namespace {

constexpr const char* historyPrefix = KADREL_BANK_HISTORY ".";
constexpr uint64_t historyRecords = sizeof(HistoryHeader);  // where the records start
// Records written at a time, without growing the memory with the journal.
constexpr size_t writeBatch = 128;

bool isMonthName(const char* name) {
    const char* month = name + std::strlen(historyPrefix);
    if (std::strlen(month) != 7 || month[4] != '-') return false;
    for (int i : {0, 1, 2, 3, 5, 6}) {
        if (month[i] < '0' || month[i] > '9') return false;
    }
    return true;
}

// The newest month's file, by name; empty when there is none.
CharString newestFile() {
    const std::vector<CharString> months = historyMonths();
    return months.empty() ? CharString() : months.back();
}

// Where a history file's records end and the last sound one's number. A
// crash mid-append leaves a record cut short at the end, or after a power cut
// records of zeros: they are cut. A whole record that is neither sound nor
// zeros is damage, and is kept with everything before it: it is no crash's,
// and the change it held is in no journal any more. A file too short for its
// header is taken for empty. False for a file that cannot be read or is not
// a history.
struct Tail {
    uint64_t end = 0;
    uint64_t sequence = 0;
    bool damaged = false;
};

bool readTail(const platform::SharedFile& file, Tail& tail) {
    uint64_t size = 0;
    if (!file.size(size)) return false;
    tail = Tail{};
    if (size < historyRecords) return true;
    HistoryHeader header;
    if (!file.readAt(0, &header, sizeof header) || !isHistoryHeader(header)) {
        return false;
    }
    tail.end = historyRecords;
    static constexpr JournalRecord zeros{};
    for (uint64_t at = historyRecords + (size - historyRecords) / sizeof(JournalRecord) * sizeof(JournalRecord);
         at > historyRecords; at -= sizeof(JournalRecord)) {
        JournalRecord record;
        if (!file.readAt(at - sizeof record, &record, sizeof record)) return false;
        if (isSoundRecord(record)) {
            if (!tail.damaged) tail.end = at;
            tail.sequence = record.sequence;
            break;
        }
        if (!tail.damaged && std::memcmp(&record, &zeros, sizeof record) != 0) {
            tail.damaged = true;
            tail.end = at;
        }
    }
    return true;
}

bool tailOf(const char* name, Tail& tail) {
    platform::SharedFile file;
    return file.open(name, bank::fileName) == platform::SharedFile::Opened::Ready && readTail(file, tail);
}

// Hands the journal's records that the history does not hold to the file in
// batches, under the numbers the filing gives them.
class HistoryAppender final : public JournalVisitor {
public:
    HistoryAppender(platform::SharedFile& file, uint64_t at, HistoryFiling& filing)
        : file(file), at(at), filing(filing) {}

    void record(const JournalRecord& record) override {
        const uint64_t number = filing.numberOf(record);
        if (number == 0) return;
        batch[count] = record;
        if (number != record.sequence) sealJournalRecord(batch[count], number);
        if (++count == writeBatch) write();
    }

    bool finish() {
        write();
        return written;
    }

private:
    void write() {
        written = written && file.writeAt(at, batch, count * sizeof(JournalRecord));
        at += count * sizeof(JournalRecord);
        count = 0;
    }

    platform::SharedFile& file;
    uint64_t at;
    HistoryFiling& filing;
    JournalRecord batch[writeBatch];
    size_t count = 0;
    bool written = true;
};

// The number of the journal's first record that takes one; 0 for none. The
// records before it are the folder's standing, which takes none.
uint64_t firstNumberOf(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t end) {
    for (uint64_t at = layout.headerSize; at + sizeof(JournalRecord) <= end; at += sizeof(JournalRecord)) {
        JournalRecord record;
        if (!journal.readAt(at, &record, sizeof record)) return 0;
        if (takesNumber(record)) return record.sequence;
    }
    return 0;
}

}  // namespace

bool isHistoryHeader(const HistoryHeader& header) {
    return std::memcmp(header.magic, historyMagic, sizeof historyMagic) == 0;
}

std::vector<CharString> historyMonths() {
    std::vector<CharString> names;
    platform::forEachFileMatching(historyPrefix, "", [&](const char* name) {
        if (isMonthName(name)) names.emplace_back(name);
    });
    std::sort(names.begin(), names.end(),
              [](const CharString& a, const CharString& b) { return std::strcmp(a.text(), b.text()) < 0; });
    return names;
}

CharString monthOf(int64_t seconds) {
    const CivilTime time = civilFromSeconds(seconds);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", static_cast<int>(time.year % 10000), time.month);
    return CharString(text);
}

bool lastHistorySequence(uint64_t& sequence) {
    const CharString newest = newestFile();
    Tail tail;
    if (!newest.empty() && !tailOf(newest.text(), tail)) return false;
    sequence = tail.sequence;
    return true;
}

bool appendToHistory(const platform::SharedFile& journal, const JournalLayout& layout, uint64_t end,
                     uint64_t& filedLast, CharString& damaged) {
    const CharString newest = newestFile();
    CharString target(historyPrefix);
    target.append(monthOf(static_cast<int64_t>(std::time(nullptr))));
    // A clock set back never files changes before those already kept.
    if (!newest.empty() && std::strcmp(newest.text(), target.text()) > 0) target = newest;
    Tail last;
    if (!newest.empty() && !(newest == target) && !tailOf(newest.text(), last)) return false;

    platform::SharedFile file;
    Tail tail;
    if (file.open(target.text(), bank::fileName) != platform::SharedFile::Opened::Ready) return false;
    if (!readTail(file, tail)) {
        uint64_t size = 0;
        if (file.size(size)) damaged = target;  // read, but not a history
        return false;
    }
    if (tail.damaged) damaged = target;
    if (newest == target) last = tail;
    const bool created = tail.end == 0;
    if (created) {
        HistoryHeader header{};
        std::memcpy(header.magic, historyMagic, sizeof historyMagic);
        if (!file.writeAt(0, &header, sizeof header)) return false;
        tail.end = historyRecords;
    }
    if (!file.truncate(tail.end)) return false;
    HistoryFiling filing(layout.isCurrent() ? firstNumberOf(journal, layout, end) : 0);
    if (filing.needsHistory(last.sequence)) readHistory(filing);
    filing.startAfter(last.sequence);
    HistoryAppender appender(file, tail.end, filing);
    const JournalScan scan = scanJournal(journal, layout, layout.headerSize, end, appender);
    filedLast = filing.lastNumber();
    return appender.finish() && scan.ending != JournalScan::Ending::ReadFailed && file.flush() &&
           (!created || platform::flushCurrentDirectory());
}

}  // namespace kadrel
