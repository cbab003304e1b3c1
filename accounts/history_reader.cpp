// The read side's walk over the history's months and the journal
// (bank_reader.h), and how a damaged history record is passed over.
#include <algorithm>
#include <cstdint>

#include "accounts/bank_format.h"
#include "accounts/bank_reader.h"
#include "accounts/history_file.h"
#include "accounts/history_filing.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

constexpr size_t historyBatch = 8192;  // records read at a time: a long history near the disk's speed

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
// so an unsound one costs only itself. One at the very end may be an append
// under way, passed over without a word where `underWay` says the changes
// from there on are still to be read elsewhere.
template <class Sound, class Unsound, class UnderWay>
void readHistoryFile(const char* name, std::vector<JournalRecord>& batch, ReadProblems& problems, Sound sound,
                     Unsound unsound, UnderWay underWay) {
    platform::FileReader file;
    if (file.open(name) != platform::FileState::Regular) {
        problems.push_back({ReadProblem::Kind::Unreadable, name});
        return;
    }
    if (file.size() < sizeof(HistoryHeader)) return;  // a file just begun
    const uint64_t total = (file.size() - sizeof(HistoryHeader)) / sizeof(JournalRecord);
    HistoryHeader header;
    if (!file.read(&header, sizeof header) || !isHistoryHeader(header)) {
        problems.push_back({ReadProblem::Kind::DamagedHeader, name, 0, total, total});
        return;
    }
    size_t problem = SIZE_MAX;
    for (uint64_t done = 0; done < total;) {
        const size_t count = total - done < batch.size() ? static_cast<size_t>(total - done) : batch.size();
        if (!file.read(batch.data(), count * sizeof(JournalRecord))) {
            problems.push_back({ReadProblem::Kind::Unreadable, name, 0, total - done, total});
            return;
        }
        for (size_t first = 0; first < count;) {
            const size_t soundOnes = soundRecords(batch.data() + first, count - first);
            for (size_t i = first; i < first + soundOnes; ++i) sound(batch[i]);
            first += soundOnes;
            if (first == count) break;
            const uint64_t at = done + first;
            if (at + 1 < total || !underWay()) {
                if (problem == SIZE_MAX) {
                    problem = problems.size();
                    problems.push_back({ReadProblem::Kind::DamagedRecords, name,
                                        sizeof(HistoryHeader) + at * sizeof(JournalRecord), 0, total});
                }
                unsound(problem);
            }
            ++first;
        }
        done += count;
    }
}

}  // namespace

WalkEnd walkTransactions(TransactionVisitor& visitor, uint64_t after, bool journalOnly) {
    WalkEnd end;
    // The journal first: a checkpoint that files its records in the history
    // meanwhile then finds them read already, never missed.
    const JournalSnapshot journal = readJournalSnapshot(end.problems);
    // Records of the earlier layout carry no number: they were never filed.
    const bool numbered = journal.found && journal.layout.isCurrent();
    end.journalFirstSequence = numbered ? journal.header.firstSequence : 0;
    // The journal's records take the numbers the checkpoint will file them
    // under, which may depend on what the history holds.
    HistoryFiling filing(numbered ? firstNumber(journal.records) : 0);
    Gatherer gatherer(visitor, after, end.problems);
    std::vector<JournalRecord> batch(historyBatch);
    const std::vector<CharString> months = historyMonths();
    uint64_t historyLast = 0;
    const auto readMonths = [&](size_t from, bool handOver, ReadProblems& problems) {
        for (size_t i = from; i < months.size(); ++i) {
            readHistoryFile(
                months[i].text(), batch, problems,
                [&](const JournalRecord& record) {
                    filing.record(record);
                    historyLast = std::max(historyLast, record.sequence);
                    if (handOver) gatherer.record(record);
                },
                [&](size_t at) {
                    if (handOver) gatherer.unsound(at);
                },
                // A checkpoint files only what the journal held: the one read
                // before the months holds every change it may be filing now.
                [&] { return numbered && journal.header.firstSequence <= historyLast + 1; });
        }
    };
    if (!journalOnly) {
        readMonths(0, true, end.problems);
        end.lastFiled = gatherer.lastRead();
        end.lastFiledTime = gatherer.lastReadTime();
    } else if (filing.needsHistory(after)) {
        // The journal reaches back into what the caller has read: the
        // newest month tells whether it reaches into the history too, as
        // the checkpoint's own look at the history does. What the months
        // pass over the caller's walk of them has reported.
        ReadProblems told;
        if (!months.empty()) readMonths(months.size() - 1, false, told);
        if (filing.needsHistory(historyLast)) readMonths(0, false, told);
    } else {
        historyLast = after;  // the journal's records all lie past what was read
    }
    filing.startAfter(historyLast);
    for (JournalRecord record : journal.records) {
        const uint64_t number = numbered ? filing.numberOf(record) : 0;
        if (number == 0) continue;
        if (number != record.sequence) sealJournalRecord(record, number);
        gatherer.record(record);
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
            [&](size_t at) { ++problems[at].skipped; }, [] { return true; });
    }
    return problems;
}

}  // namespace kadrel
