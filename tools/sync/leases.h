// A folder's leases: the right to take a player's credits, held in the
// economy's `leases` table by one origin at a time and written into the
// folder's journal as Lease records, which the plug-in's spends obey. The
// program takes a lease where the folder's bots want it (their Wanted
// records), renews the ones it holds, hands one over when another folder asks
// (after its bots stop and everything they did is shipped), and takes an
// expired one only once its holder has shipped all it did before the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "accounts/shared_economy.h"
#include "tools/sync/economy_db.h"

namespace kadrel::tools::sync {

// A request for a lease, and a lease let go, are said on this channel; the
// payload is the origin that is asked to act, 0 for everybody.
constexpr const char* leasesChannel = "kadrel_leases";

// A lease runs this long past its last renewal, by the database's clock.
constexpr int leaseTermSeconds = 30;
constexpr std::chrono::seconds renewalInterval{10};
// A folder asks for a lease this long after its bots last wanted it.
constexpr int askingSeconds = static_cast<int>(wishSeconds);

// What the program does besides leases, handed to the keeper by the loop.
struct FolderSteps {
    // Ships every change of the folder made so far, not waiting for a
    // moment when the bots add none; false, saying why.
    std::function<bool(std::string& failure)> shipAll;
    // Brings down what the economy holds of the others; the position through
    // which everything of theirs is in the folder, or -1, saying why.
    std::function<long long(std::string& failure)> bringDown;
};

// The database's clock now, as its text, for a later statement to compare.
bool databaseNow(EconomyDb& db, std::string& now, std::string& failure);

// A shipping pass that began at `start` found nothing more to ship: every
// change the folder made before then is in the economy, and a lease of the
// origin that ran out before then may be taken by another.
bool markCaughtUp(EconomyDb& db, long long origin, const std::string& start, std::string& failure);

// The live leases `origin` holds: their count, and the first `listed` names
// in key order, as the bank stores them.
struct HeldLeases {
    long long count = 0;
    std::vector<std::string> names;
};
bool heldLeases(EconomyDb& db, long long origin, size_t listed, HeldLeases& held, std::string& failure);

// Lets go of every lease `origin` holds, and of its requests, in one
// transaction, and says so on the leases' channel: folders that asked take
// them at once. The count of leases, or -1, saying why.
long long dropLeases(EconomyDb& db, long long origin, std::string& failure);

class LeaseKeeper {
public:
    explicit LeaseKeeper(long long origin);
    ~LeaseKeeper();
    LeaseKeeper(const LeaseKeeper&) = delete;
    LeaseKeeper& operator=(const LeaseKeeper&) = delete;

    // Opens the folder's bank as a bot does and takes in the economy's
    // leases of this origin, which are still its own after a restart. False,
    // saying why.
    bool open(EconomyDb& db, std::string& failure);

    // One round: hands over what others asked for, asks for or takes what
    // the bots want, renews when due, and writes a lease taken into the
    // journal once the others' changes up to its taking are in the folder.
    // `noticed` says the economy spoke on the leases' channel since the last
    // round. False, saying why, when the database or the journal failed.
    bool round(EconomyDb& db, const FolderSteps& steps, bool noticed, std::string& failure);

    // Whether the journal has grown since the last round looked at it.
    bool journalMoved() const;

    // Leases held, for the log.
    size_t held() const { return leases.size(); }

private:
    struct Lease {
        std::string name;        // as the bank stores it
        int64_t ends = 0;        // in the economy, seconds since 1970 by its clock
        int64_t written = 0;     // what the journal says; 0: nothing, or let go
        long long position = 0;  // the others' changes up to here come down before it is written
        bool pending = true;     // taken, not yet written
    };
    struct Asking {
        std::string name;
        int64_t until = 0;  // steady seconds: asks no longer after
        std::chrono::steady_clock::time_point nextTry;
        bool told = false;  // the log has said why it waits
    };
    struct Bank;

    bool handOver(EconomyDb& db, const FolderSteps& steps, std::string& failure);
    void readWanted();
    bool tryTake(EconomyDb& db, const std::string& key, Asking& asking, std::string& failure);
    bool renew(EconomyDb& db, std::string& failure);
    bool writePending(const FolderSteps& steps, std::string& failure);
    // Lease records of the names, in one append under the journal's lock.
    bool writeEnds(const std::vector<std::pair<std::string, int64_t>>& ends, std::string& failure);

    long long origin;
    std::unique_ptr<Bank> bank;
    std::map<std::string, Lease> leases;   // by folded name
    std::map<std::string, Asking> asking;  // by folded name
    std::chrono::steady_clock::time_point lastRenewal;
    std::chrono::steady_clock::time_point lastRequestsLook;
    // How far Wanted records were read: the journal's generation and records.
    uint64_t wantedGeneration = 0;
    size_t wantedRecords = 0;
    uint64_t lastJournalSize = UINT64_MAX;
    long long broughtDown = 0;  // every other origin's change up to here is in the folder
};

}  // namespace kadrel::tools::sync
