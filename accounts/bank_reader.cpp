#include "accounts/bank_reader.h"

#include <cstdint>
#include <cstring>

#include "accounts/bank_file.h"
#include "accounts/bank_format.h"
#include "accounts/journal_writer.h"
#include "accounts/ledger.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

constexpr uint32_t retryPause = 10;         // milliseconds between tries of a snapshot

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
        if (isNewerJournal(journal.header)) {
            problems.back().version = static_cast<uint32_t>(journal.header.magic[sizeof journalMagic - 1] - '0');
        }
        return true;
    }
    journal.found = true;
    Collector collector(journal.records);
    const JournalScan scan = scanJournalBytes(bytes, journal.layout, collector);
    if (scan.ending == JournalScan::Ending::Damaged || scan.ending == JournalScan::Ending::Newer) {
        const uint64_t size = bytes.size(), recordSize = journal.layout.recordSize;
        const bool newer = scan.ending == JournalScan::Ending::Newer;
        problems.push_back(problemOf(newer ? ReadProblem::Kind::NewerVersion : ReadProblem::Kind::DamagedRecords,
                                     bank::journalFileName, scan.damagedAt,
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

JournalSnapshot readJournalSnapshot(ReadProblems& problems, int attempts) {
    JournalSnapshot journal;
    const size_t before = problems.size();
    for (int attempt = 0;; ++attempt) {
        if (attempt == attempts) {
            problems.push_back(problemOf(ReadProblem::Kind::Unsettled, bank::journalFileName));
            return JournalSnapshot{};
        }
        if (attempt > 0) platform::sleepMilliseconds(retryPause);
        problems.resize(before);
        if (sameHeader(journal, readJournalOnce(journal, problems))) return journal;
    }
}

}  // namespace kadrel
