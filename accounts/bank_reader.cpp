#include "accounts/bank_reader.h"

#include <cstdint>
#include <cstring>

#include "accounts/bank_file.h"
#include "accounts/bank_format.h"
#include "accounts/history_file.h"
#include "accounts/journal_writer.h"
#include "accounts/ledger.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

constexpr uint32_t retryPause = 10;         // milliseconds between tries of a snapshot
constexpr size_t historyBatch = 8192;       // records read at a time: a long history near the disk's speed
constexpr int journalAttempts = 50;

ReadProblem problemOf(ReadProblem::Kind kind, const char* file, uint64_t offset = 0, uint64_t skipped = 0,
                      uint64_t records = 0) {
    ReadProblem problem;
    problem.kind = kind;
    problem.file = file;
    problem.offset = offset;
    problem.skipped = skipped;
    problem.records = records;
    return problem;
}

// Every byte of a regular file; Missing when nothing is at the path.
platform::FileState readBytes(const char* name, std::vector<unsigned char>& bytes) {
    platform::FileReader file;
    const platform::FileState state = file.open(name);
    if (state != platform::FileState::Regular) return state;
    bytes.resize(static_cast<size_t>(file.size()));
    return file.read(bytes.data(), bytes.size()) ? state : platform::FileState::Unreadable;
}

// The journal's header as it is now; false when there is none to read.
bool headerNow(JournalHeader& header) {
    header = JournalHeader{};
    platform::FileReader file;
    if (file.open(bank::journalFileName) != platform::FileState::Regular || file.size() < oldLayout.headerSize) {
        return false;
    }
    const uint64_t wanted = file.size() < sizeof header ? file.size() : sizeof header;
    return file.read(&header, static_cast<size_t>(wanted));
}

class Collector final : public JournalVisitor {
public:
    explicit Collector(std::vector<JournalRecord>& records) : records(records) {}
    void record(const JournalRecord& record) override { records.push_back(record); }

private:
    std::vector<JournalRecord>& records;
};

// One read of the journal: its header and whole transactions, and what it
// passed over. Whether it had a header, sound or not.
bool readJournalOnce(JournalSnapshot& journal, ReadProblems& problems) {
    journal = JournalSnapshot{};
    std::vector<unsigned char> bytes;
    switch (readBytes(bank::journalFileName, bytes)) {
        case platform::FileState::Missing:
            return false;
        case platform::FileState::Regular:
            break;
        case platform::FileState::NotRegular:
        case platform::FileState::Unreadable:
            problems.push_back(problemOf(ReadProblem::Kind::Unreadable, bank::journalFileName));
            return false;
    }
    // Too short for a header: a journal just begun or emptied, of no records.
    if (bytes.size() < oldLayout.headerSize) return false;
    std::memcpy(&journal.header, bytes.data(), bytes.size() < sizeof journal.header ? bytes.size() : sizeof journal.header);
    if (!soundLayout(journal.header, bytes.size(), journal.layout)) {
        const uint64_t records = (bytes.size() - oldLayout.headerSize) / sizeof(JournalRecord);
        problems.push_back(problemOf(isNewerJournal(journal.header) ? ReadProblem::Kind::NewerVersion
                                                                    : ReadProblem::Kind::DamagedHeader,
                                     bank::journalFileName, 0, records, records));
        problems.back().version = static_cast<uint32_t>(journal.header.magic[sizeof journalMagic - 1] - '0');
        return true;
    }
    journal.found = true;
    Collector collector(journal.records);
    const JournalScan scan = scanJournalBytes(bytes, journal.layout, collector);
    if (scan.ending == JournalScan::Ending::Damaged) {
        const uint64_t size = bytes.size(), recordSize = journal.layout.recordSize;
        problems.push_back(problemOf(ReadProblem::Kind::DamagedRecords, bank::journalFileName, scan.damagedAt,
                                     (size - scan.end) / recordSize,
                                     (size - journal.layout.headerSize) / recordSize));
    }
    return true;
}

// Whether the journal still has the header it had: no checkpoint or bank
// adopted since.
bool sameHeader(const JournalSnapshot& journal, bool hadHeader) {
    JournalHeader now;
    if (!headerNow(now)) return !hadHeader;
    return hadHeader && std::memcmp(&now, &journal.header, sizeof now) == 0;
}

// Gathers records into whole transactions. A record numbered at or below
// the last one taken was read already: the journal may still hold what a
// checkpoint has just filed in the history.
class Gatherer {
public:
    Gatherer(TransactionVisitor& visitor, uint64_t after, ReadProblems& problems)
        : visitor(visitor), last(after), problems(problems) {}

    void record(const JournalRecord& record) {
        if (record.sequence <= last) return;
        // Records lost between leave what was gathered short of its end: it
        // is not joined to what follows.
        if (record.sequence != last + 1) dropGathered();
        last = record.sequence;
        lastTime = record.time;
        const bool ends = (record.flags & endsTransaction) != 0;
        if (skipping) {
            ++problems[damage].skipped;
            skipping = !ends;
            return;
        }
        if (current.empty() && ends) return visitor.transaction({&record, 1});
        current.push_back(record);
        if (!ends) return;
        visitor.transaction(current);
        current.clear();
    }

    // A record that is not sound: its transaction is passed over, up to the
    // next record that ends one, and counted in the problem `at`.
    void unsound(size_t at) {
        damage = at;
        ++problems[at].skipped;
        dropGathered();
        skipping = true;
    }

    uint64_t lastRead() const { return last; }
    int64_t lastReadTime() const { return lastTime; }

private:
    void dropGathered() {
        if (damage < problems.size()) problems[damage].skipped += current.size();
        current.clear();
    }

    TransactionVisitor& visitor;
    std::vector<JournalRecord> current;
    uint64_t last;
    int64_t lastTime = 0;
    ReadProblems& problems;
    size_t damage = SIZE_MAX;  // the problem of the last unsound record
    bool skipping = false;
};

// One month's file, sequentially. Records are fixed-size with a check each,
// so an unsound one costs only itself; one at the very end is what an
// append under way or a crash leaves, and is passed over without a word.
template <class Sound, class Unsound>
void readHistoryFile(const char* name, std::vector<JournalRecord>& batch, ReadProblems& problems, Sound sound,
                     Unsound unsound) {
    platform::FileReader file;
    if (file.open(name) != platform::FileState::Regular) {
        problems.push_back(problemOf(ReadProblem::Kind::Unreadable, name));
        return;
    }
    if (file.size() < sizeof(HistoryHeader)) return;  // a file just begun
    const uint64_t total = (file.size() - sizeof(HistoryHeader)) / sizeof(JournalRecord);
    HistoryHeader header;
    if (!file.read(&header, sizeof header) || !isHistoryHeader(header)) {
        problems.push_back(problemOf(ReadProblem::Kind::DamagedHeader, name, 0, total, total));
        return;
    }
    size_t problem = SIZE_MAX;
    for (uint64_t done = 0; done < total;) {
        const size_t count = total - done < batch.size() ? static_cast<size_t>(total - done) : batch.size();
        if (!file.read(batch.data(), count * sizeof(JournalRecord))) {
            problems.push_back(problemOf(ReadProblem::Kind::Unreadable, name, 0, total - done, total));
            return;
        }
        for (size_t first = 0; first < count;) {
            const size_t soundOnes = soundRecords(batch.data() + first, count - first);
            for (size_t i = first; i < first + soundOnes; ++i) sound(batch[i]);
            first += soundOnes;
            if (first == count) break;
            const uint64_t at = done + first;
            if (at + 1 < total) {
                if (problem == SIZE_MAX) {
                    problem = problems.size();
                    problems.push_back(problemOf(ReadProblem::Kind::DamagedRecords, name,
                                                 sizeof(HistoryHeader) + at * sizeof(JournalRecord), 0, total));
                }
                unsound(problem);
            }
            ++first;
        }
        done += count;
    }
}

}  // namespace

bool BankSnapshot::balancesKnown() const {
    for (const ReadProblem& problem : problems) {
        const bool journalDamage = problem.kind == ReadProblem::Kind::DamagedHeader ||
                                   problem.kind == ReadProblem::Kind::DamagedRecords;
        if (!journalDamage) return false;
    }
    return true;
}

BankSnapshot readBankSnapshot(Ledger& ledger, int attempts) {
    BankSnapshot snapshot;
    BankRead bank;
    for (int attempt = 0;; ++attempt) {
        if (attempt == attempts) {
            snapshot.problems.push_back(problemOf(ReadProblem::Kind::Unsettled, bank::journalFileName));
            ledger.clear();
            return snapshot;
        }
        if (attempt > 0) platform::sleepMilliseconds(retryPause);
        snapshot.problems.clear();
        ledger.clear();
        const platform::FileStamp before = platform::stampOf(bank::fileName);
        const bool hadHeader = readJournalOnce(snapshot.journal, snapshot.problems);
        bank = readBankFile(bank::fileName, ledger);
        // A rename of the bank or a new header meanwhile is a checkpoint or
        // an adoption under way: the two were not read as one state.
        if (platform::stampOf(bank::fileName) == before && sameHeader(snapshot.journal, hadHeader)) break;
    }
    snapshot.bankFound = bank.outcome != BankRead::Outcome::Missing;
    switch (bank.outcome) {
        case BankRead::Outcome::Loaded:
        case BankRead::Outcome::Missing:
            break;
        case BankRead::Outcome::Damaged:
            snapshot.problems.push_back(problemOf(ReadProblem::Kind::DamagedBank, bank::fileName));
            return snapshot;
        case BankRead::Outcome::NotRegular:
        case BankRead::Outcome::Unreadable:
            snapshot.problems.push_back(problemOf(ReadProblem::Kind::Unreadable, bank::fileName));
            return snapshot;
    }
    if (!snapshot.journal.found) return snapshot;
    switch (journalFate(snapshot.journal.header, bank.length, bank.hash, !snapshot.bankFound)) {
        case JournalFate::Folded:
            return snapshot;
        case JournalFate::BankMissing:
            snapshot.problems.push_back(problemOf(ReadProblem::Kind::BankMissing, bank::fileName));
            ledger.clear();
            return snapshot;
        case JournalFate::Apply:
        case JournalFate::Adopt:
            break;
    }
    for (const JournalRecord& record : snapshot.journal.records) applyJournalRecord(ledger, record);
    return snapshot;
}

WalkEnd walkTransactions(TransactionVisitor& visitor, uint64_t after, bool journalOnly) {
    WalkEnd end;
    // The journal first: a checkpoint that files its records in the history
    // meanwhile then finds them read already, never missed.
    JournalSnapshot journal;
    for (int attempt = 0;; ++attempt) {
        if (attempt == journalAttempts) {
            end.problems.push_back(problemOf(ReadProblem::Kind::Unsettled, bank::journalFileName));
            journal = JournalSnapshot{};
            break;
        }
        if (attempt > 0) platform::sleepMilliseconds(retryPause);
        end.problems.clear();
        if (sameHeader(journal, readJournalOnce(journal, end.problems))) break;
    }
    // Records of the earlier layout carry no number: they were never filed.
    const bool numbered = journal.found && journal.layout.isCurrent();
    end.journalFirstSequence = numbered ? journal.header.firstSequence : 0;
    Gatherer gatherer(visitor, after, end.problems);
    if (!journalOnly) {
        std::vector<JournalRecord> batch(historyBatch);
        for (const CharString& name : historyMonths()) {
            readHistoryFile(
                name.text(), batch, end.problems, [&](const JournalRecord& record) { gatherer.record(record); },
                [&](size_t at) { gatherer.unsound(at); });
        }
        end.lastFiled = gatherer.lastRead();
        end.lastFiledTime = gatherer.lastReadTime();
    }
    if (numbered) {
        for (const JournalRecord& record : journal.records) gatherer.record(record);
    }
    end.lastRead = gatherer.lastRead();
    return end;
}

ReadProblems readHistory(JournalVisitor& visitor) {
    ReadProblems problems;
    std::vector<JournalRecord> batch(historyBatch);
    for (const CharString& name : historyMonths()) {
        readHistoryFile(
            name.text(), batch, problems, [&](const JournalRecord& record) { visitor.record(record); },
            [&](size_t at) { ++problems[at].skipped; });
    }
    return problems;
}

}  // namespace kadrel
