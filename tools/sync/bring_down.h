// Bringing the other folders' changes down into this folder's journal: the
// rows of every other origin past the folder's position in the economy, each
// transaction of them appended under the journal's lock as the other folder
// made it, with an Arrived record last that names its origin and position.
// The journal is the only cursor: after a crash the position is the highest
// Arrived record's, and an append skips what the journal holds already.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "accounts/journal_format.h"
#include "tools/sync/economy_db.h"

namespace kadrel::tools::sync {

// Every committed batch of changes says so on this channel, its origin's
// number as the payload.
constexpr const char* changesChannel = "kadrel_changes";

// Within a transaction that gives rows positions, before it gives them: the
// lock is held to the commit, so that positions are given in the order rows
// become visible, and a reader that has seen a position has seen every row
// before it.
bool orderPositions(EconomyDb& db, std::string& failure);

// Within a transaction of changes of `origin`: the others hear of it at the commit.
bool announceChanges(EconomyDb& db, long long origin, std::string& failure);

// A transaction of another folder, or its opening, as the economy holds it.
struct Arrival {
    long long origin = 0;
    long long position = 0;  // of its last row: its Arrived record's detail
    int64_t time = 0;
    std::vector<JournalRecord> records;  // before and after still the other folder's
};

// What one read of the economy gave: whole transactions, oldest first, and
// the position through which every row is either among them or this
// origin's own.
struct EconomyRead {
    std::vector<Arrival> arrivals;
    long long through = 0;
    bool cut = false;  // the read reached its limit: more rows may follow
};

// The rows of origins other than `self` past `after`, up to about `most`
// (more when one transaction is longer). False with the reason in `failure`.
bool readArrivals(EconomyDb& db, long long self, long long after, size_t most, EconomyRead& read, std::string& failure);

// The highest Arrived position of the journal, else of the history; 0 for
// none. The read side's: no lock, nothing written.
long long arrivedThrough();

class BringDown {
public:
    explicit BringDown(long long origin);
    ~BringDown();
    BringDown(const BringDown&) = delete;
    BringDown& operator=(const BringDown&) = delete;

    // Opens the folder's bank as a bot does and finds the position from the
    // journal or history. False, saying why, when the bank cannot be read.
    bool open(std::string& failure);

    // Brings down everything the economy holds past the position; the count
    // of transactions appended, or -1 with the reason in `failure` (what was
    // appended before stays).
    long long pass(EconomyDb& db, std::string& failure);

    // Appends `arrivals` (oldest first) under the lock, those the journal
    // holds already passed over. The count appended, or -1.
    long long append(const std::vector<Arrival>& arrivals, std::string& failure);

    // Every other origin's row up to this position is in the journal.
    long long through() const { return seen; }

    // Writes the folder's Shared record under the lock where the journal's
    // newest one does not name this origin: a join cut short, or a journal
    // started afresh without it. Its bots then spend only under leases.
    bool markShared(std::string& failure);

private:
    struct Bank;
    std::unique_ptr<Bank> bank;
    long long origin;
    long long seen = 0;
};

}  // namespace kadrel::tools::sync
