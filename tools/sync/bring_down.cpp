#include "tools/sync/bring_down.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <utility>

#include "accounts/bank_reader.h"
#include "accounts/journal_writer.h"
#include "tools/bank/shared_bank.h"

namespace kadrel::tools::sync {

namespace {

// Rows read from the economy at once, and transactions appended per hold of
// the journal's lock: bots wait for that lock, so it is held briefly.
constexpr size_t readRows = 5000;
constexpr size_t appendsPerHold = 500;

bool isArrived(const JournalRecord& record) { return record.kind == static_cast<uint8_t>(JournalKind::Arrived); }

void copyField(char (&field)[20], const std::string& bytes) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, bytes.data(), std::min(bytes.size(), sizeof field - 1));
}

// The highest Arrived position among the journal's records; 0 for none.
long long journalArrivedThrough(const std::vector<JournalRecord>& records) {
    long long highest = 0;
    for (const JournalRecord& record : records) {
        if (isArrived(record)) highest = std::max<long long>(highest, record.detail);
    }
    return highest;
}

}  // namespace

bool orderPositions(EconomyDb& db, std::string& failure) {
    return db.exec("SELECT pg_advisory_xact_lock(70440, 0)", {}, failure);
}

bool announceChanges(EconomyDb& db, long long origin, std::string& failure) {
    return db.exec("SELECT pg_notify($1, $2)", {std::string(changesChannel), std::to_string(origin)}, failure);
}

bool readArrivals(EconomyDb& db, long long self, long long after, size_t most, EconomyRead& read, std::string& failure) {
    // The highest position before the rows: every row up to it is visible
    // to the read of the rows that follows, since positions become visible
    // in order.
    const QueryResult top = db.run("SELECT greatest((SELECT max(position) FROM changes), (SELECT max(position) FROM openings))");
    if (!top.ok()) return failure = top.error(), false;
    const long long highest = top.isNull(0, 0) ? 0 : top.number(0, 0);
    const std::string limit = std::to_string(most);
    const QueryResult rows = db.run(
        "SELECT position, origin, opening, kind, cause, ends, made, detail, name, party, amount FROM ("
        "(SELECT position, origin, false AS opening, kind, cause, ends, made, detail, name, party, amount FROM changes "
        "WHERE position > $1 AND origin <> $2 ORDER BY position LIMIT $3) UNION ALL "
        "(SELECT o.position, o.origin, true, 1, 17, false, extract(epoch FROM g.joined)::bigint, 0, o.name, ''::bytea, "
        "o.credits FROM openings o JOIN origins g ON g.origin = o.origin WHERE o.position > $1 AND o.origin <> $2 "
        "ORDER BY o.position LIMIT $3)) AS t ORDER BY position LIMIT $3",
        {std::to_string(after), std::to_string(self), limit});
    if (!rows.ok()) return failure = rows.error(), false;
    read = EconomyRead{};
    // Transactions under way, by origin; an opening is one transaction of
    // its origin's rows that come one after another.
    std::map<long long, Arrival> open;
    long long openingOf = 0;
    long long firstOpen = 0;  // the first position of a transaction not yet whole
    const auto finish = [&](long long origin) {
        read.arrivals.push_back(std::move(open[origin]));
        open.erase(origin);
    };
    for (int row = 0; row < rows.rows(); ++row) {
        const long long origin = rows.number(row, 1);
        const bool opening = rows.text(row, 2) == "t";
        if (openingOf != 0 && (!opening || origin != openingOf)) finish(std::exchange(openingOf, 0));
        Arrival& arrival = open[origin];
        arrival.origin = origin;
        arrival.position = rows.number(row, 0);
        arrival.time = rows.number(row, 6);
        JournalRecord record{};
        record.kind = static_cast<uint8_t>(rows.number(row, 3));
        record.cause = static_cast<uint8_t>(rows.number(row, 4));
        record.time = rows.number(row, 6);
        record.detail = rows.number(row, 7);
        copyField(record.name, rows.bytes(row, 8));
        copyField(record.party, rows.bytes(row, 9));
        record.amount = static_cast<int32_t>(rows.number(row, 10));
        arrival.records.push_back(record);
        if (opening) {
            openingOf = origin;
        } else if (rows.text(row, 5) == "t") {
            finish(origin);
        }
    }
    const bool cut = read.cut = static_cast<size_t>(rows.rows()) == most;
    // The last opening read is whole unless the limit may have cut it.
    if (openingOf != 0 && !cut) finish(openingOf);
    for (const auto& [origin, arrival] : open) {
        const long long first = arrival.position - static_cast<long long>(arrival.records.size()) + 1;
        firstOpen = firstOpen == 0 ? first : std::min(firstOpen, first);
    }
    std::sort(read.arrivals.begin(), read.arrivals.end(),
              [](const Arrival& a, const Arrival& b) { return a.position < b.position; });
    read.through = cut ? rows.number(rows.rows() - 1, 0) : highest;
    // What is not whole yet is read again; nothing before it is left behind.
    if (firstOpen != 0) read.through = std::min(read.through, firstOpen - 1);
    if (!read.arrivals.empty()) read.through = std::max(read.through, read.arrivals.back().position);
    read.through = std::max(read.through, after);
    return true;
}

long long arrivedThrough() {
    ReadProblems problems;
    const JournalSnapshot journal = readJournalSnapshot(problems);
    if (const long long held = journalArrivedThrough(journal.records); held > 0) return held;
    struct Highest final : JournalVisitor {
        void record(const JournalRecord& record) override {
            if (isArrived(record)) highest = std::max<long long>(highest, record.detail);
        }
        long long highest = 0;
    } history;
    readHistory(history);
    return history.highest;
}

struct BringDown::Bank {
    SharedBank shared;
};

BringDown::BringDown(long long origin) : origin(origin) {}

BringDown::~BringDown() {
    if (bank) bank->shared.bank.close();
}

bool BringDown::open(std::string& failure) {
    seen = arrivedThrough();
    bank = std::make_unique<Bank>();
    if (!bank->shared.load(true)) {
        bank.reset();
        failure = "cannot read Quorlen.bank";
        return false;
    }
    return true;
}

bool BringDown::markShared(std::string& failure) {
    SharedBank& shared = bank->shared;
    {
        const BankJournal::Hold hold(shared.bank);
        if (!shared.bank.ready()) return failure = "cannot read Quorlen.bank with its journal", false;
        if (shared.bank.economy().origin() == origin) return true;
        shared.bank.reserve(1);
        shared.bank.note(makeSharedRecord(origin, static_cast<int64_t>(std::time(nullptr))));
        if (!shared.bank.commit()) return failure = "cannot write Quorlen.bank.journal", false;
    }
    shared.bank.makeDurable();
    return true;
}

long long BringDown::pass(EconomyDb& db, std::string& failure) {
    long long appended = 0;
    for (size_t most = readRows;;) {
        EconomyRead read;
        if (!readArrivals(db, origin, seen, most, read, failure)) return -1;
        const long long count = append(read.arrivals, failure);
        if (count < 0) return -1;
        appended += count;
        seen = std::max(seen, read.through);
        if (!read.cut) return appended;
        // A transaction longer than the read: read more at once.
        most = read.arrivals.empty() ? most * 2 : readRows;
    }
}

long long BringDown::append(const std::vector<Arrival>& arrivals, std::string& failure) {
    SharedBank& shared = bank->shared;
    Ledger& ledger = shared.ledger;
    const auto credits = [&](const char* name) {
        const CreditAccount* account = ledger.find(name);
        return account != nullptr ? account->credits : 0;
    };
    long long appended = 0;
    for (size_t next = 0; next < arrivals.size();) {
        const BankJournal::Hold hold(shared.bank);
        if (!shared.bank.ready()) {
            failure = "cannot read Quorlen.bank with its journal";
            return -1;
        }
        // A crash after an append and before the position moved brings the
        // same rows again: the journal says what it holds.
        ReadProblems problems;
        const long long held = std::max(seen, journalArrivedThrough(readJournalSnapshot(problems).records));
        for (const size_t end = std::min(arrivals.size(), next + appendsPerHold); next < end; ++next) {
            const Arrival& arrival = arrivals[next];
            if (arrival.position <= held) continue;
            shared.bank.reserve(arrival.records.size() + 1);
            for (JournalRecord record : arrival.records) {
                // Only the balances' records: another folder's standing is its
                // own, and a kind this build cannot apply would make the
                // folder's bots wait for a newer build.
                if (!concernsBalance(record)) continue;
                record.flags = 0;
                record.before = credits(record.name);
                applyJournalRecord(ledger, record);
                record.after = record.kind == static_cast<uint8_t>(JournalKind::Cleared) ? 0 : credits(record.name);
                shared.bank.note(record);
            }
            shared.bank.note(makeArrivedRecord(arrival.origin, arrival.position, arrival.time));
            if (!shared.bank.commit()) {
                failure = "cannot write Quorlen.bank.journal";
                return -1;
            }
            ++appended;
        }
    }
    shared.bank.makeDurable();
    return appended;
}

}  // namespace kadrel::tools::sync
