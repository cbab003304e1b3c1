#include "tools/sync/leases.h"

#include <ctime>
#include <filesystem>
#include <iostream>

#include "accounts/bank_format.h"
#include "accounts/bank_reader.h"
#include "tools/bank/shared_bank.h"
#include "tools/sync/balances.h"

namespace kadrel::tools::sync {

namespace {

const std::string term = "interval '" + std::to_string(leaseTermSeconds) + " seconds'";

int64_t steadySeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool rollBack(EconomyDb& db) {
    std::string ignored;
    db.exec("ROLLBACK", {}, ignored);
    return false;
}

bool failed(const QueryResult& result, std::string& failure) {
    if (result.ok()) return false;
    failure = result.error();
    return true;
}

// The name field of a record, from a name's bytes.
void fillName(char (&field)[20], const std::string& name) {
    std::fill(std::begin(field), std::end(field), '\0');
    name.copy(field, sizeof field - 1);
}

std::string shown(const std::string& name) {
    std::string text;
    for (const char c : name) text += static_cast<unsigned char>(c) < 32 ? '?' : c;
    return text;
}

}  // namespace

bool databaseNow(EconomyDb& db, std::string& now, std::string& failure) {
    const QueryResult result = db.run("SELECT now()");
    if (failed(result, failure)) return false;
    now = result.text(0, 0);
    return true;
}

bool markCaughtUp(EconomyDb& db, long long origin, const std::string& start, std::string& failure) {
    return db.exec("UPDATE origins SET caught_up_at = $2 WHERE origin = $1",
                   {std::to_string(origin), start}, failure);
}

bool heldLeases(EconomyDb& db, long long origin, size_t listed, HeldLeases& held, std::string& failure) {
    const QueryResult result = db.run("SELECT name, count(*) OVER () FROM leases WHERE origin = $1 AND until > now() "
                                      "ORDER BY key LIMIT $2",
                                      {std::to_string(origin), std::to_string(listed)});
    if (failed(result, failure)) return false;
    held = {};
    for (int row = 0; row < result.rows(); ++row) {
        held.count = result.number(row, 1);
        held.names.push_back(shown(result.bytes(row, 0)));
    }
    return true;
}

long long dropLeases(EconomyDb& db, long long origin, std::string& failure) {
    const std::string self = std::to_string(origin);
    if (!db.exec("BEGIN", {}, failure)) return -1;
    const QueryResult dropped = db.run("DELETE FROM leases WHERE origin = $1", {self});
    if (failed(dropped, failure) || !db.exec("DELETE FROM lease_requests WHERE origin = $1", {self}, failure) ||
        !db.exec("SELECT pg_notify($1, '0')", {leasesChannel}, failure) || !db.exec("COMMIT", {}, failure)) {
        rollBack(db);
        return -1;
    }
    return dropped.affected();
}

// The keeper's own handle on the folder's journal, as one more bot's.
struct LeaseKeeper::Bank {
    SharedBank shared;
};

LeaseKeeper::LeaseKeeper(long long origin) : origin(origin) {}

LeaseKeeper::~LeaseKeeper() {
    if (bank) bank->shared.bank.close();
}

bool LeaseKeeper::open(EconomyDb& db, std::string& failure) {
    bank = std::make_unique<Bank>();
    if (!bank->shared.load(true)) {
        bank.reset();
        failure = "cannot read Quorlen.bank";
        return false;
    }
    // Leases the economy gives this origin are its own still, whatever the
    // journal says: they are written again once the folder holds what the
    // others did before now, as if taken now.
    const QueryResult held = db.run("SELECT key, name, floor(extract(epoch FROM until))::bigint FROM leases WHERE origin = $1",
                                    {std::to_string(origin)});
    if (failed(held, failure)) return false;
    const QueryResult position =
        db.run("SELECT greatest((SELECT max(position) FROM changes WHERE origin <> $1), "
               "(SELECT max(position) FROM openings WHERE origin <> $1), 0)",
               {std::to_string(origin)});
    if (failed(position, failure)) return false;
    for (int row = 0; row < held.rows(); ++row) {
        leases[held.bytes(row, 0)] = {held.bytes(row, 1), held.number(row, 2), 0, position.number(0, 0), true};
    }
    // Renewed at the first round, so that none runs out while the folder catches up.
    lastRenewal = std::chrono::steady_clock::now() - renewalInterval;
    return true;
}

bool LeaseKeeper::journalMoved() const {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(KADREL_BANK_JOURNAL, error);
    return error || size != lastJournalSize;
}

bool LeaseKeeper::round(EconomyDb& db, const FolderSteps& steps, bool noticed, std::string& failure) {
    const auto now = std::chrono::steady_clock::now();
    // Asked on the channel, or now and then in case a notice was lost with a link.
    if (noticed || now - lastRequestsLook >= std::chrono::seconds(1)) {
        lastRequestsLook = now;
        if (!handOver(db, steps, failure)) return false;
    }
    if (journalMoved()) readWanted();
    const int64_t steady = steadySeconds();
    for (auto it = asking.begin(); it != asking.end();) {
        if (leases.count(it->first) != 0 || it->second.until < steady) {
            if (leases.count(it->first) == 0 &&
                !db.exec("DELETE FROM lease_requests WHERE key = $1::bytea AND origin = $2",
                         {"\\x" + hexText(it->first), std::to_string(origin)}, failure)) {
                return false;
            }
            it = asking.erase(it);
            continue;
        }
        // A new wish at once; otherwise when a lease was let go, or now and then.
        if (it->second.nextTry <= now || noticed) {
            it->second.nextTry = now + std::chrono::seconds(1);
            if (!tryTake(db, it->first, it->second, failure)) return false;
        }
        ++it;
    }
    if (now - lastRenewal >= renewalInterval && !renew(db, failure)) return false;
    return writePending(steps, failure);
}

// Another folder asked for leases this one holds: its bots stop taking those
// players' credits, everything they did goes up, and then the rows go.
bool LeaseKeeper::handOver(EconomyDb& db, const FolderSteps& steps, std::string& failure) {
    const QueryResult asked =
        db.run("SELECT DISTINCT l.key FROM leases l JOIN lease_requests r ON r.key = l.key AND r.origin <> l.origin "
               "WHERE l.origin = $1 AND r.asked > now() - interval '" + std::to_string(askingSeconds) + " seconds'",
               {std::to_string(origin)});
    if (failed(asked, failure)) return false;
    if (asked.rows() == 0) return true;
    std::vector<std::pair<std::string, int64_t>> stops;
    std::vector<std::string> keys;
    for (int row = 0; row < asked.rows(); ++row) {
        const std::string key = asked.bytes(row, 0);
        const auto held = leases.find(key);
        keys.push_back(key);
        if (held != leases.end()) stops.emplace_back(held->second.name, 0);
    }
    if (!writeEnds(stops, failure)) return false;
    for (const std::string& key : keys) {
        const auto held = leases.find(key);
        if (held != leases.end()) held->second.written = 0, held->second.pending = true;
    }
    if (!steps.shipAll(failure)) return false;
    Column column;
    for (const std::string& key : keys) column.addBytes(key);
    if (!db.exec("BEGIN", {}, failure)) return false;
    if (!db.exec("DELETE FROM leases WHERE origin = $1 AND key IN (SELECT " + columnBytes("k") +
                     " FROM unnest(string_to_array($2, ',')) AS t(k))",
                 {std::to_string(origin), column.text()}, failure) ||
        !db.exec("SELECT pg_notify($1, '0')", {leasesChannel}, failure) || !db.exec("COMMIT", {}, failure)) {
        return rollBack(db);
    }
    for (const std::string& key : keys) {
        const auto held = leases.find(key);
        if (held == leases.end()) continue;
        std::cerr << "kadrel sync: handed the lease of " << shown(held->second.name) << " over\n";
        leases.erase(held);
    }
    return true;
}

// The bots' Wanted records since the last look: each name is asked for a
// while.
void LeaseKeeper::readWanted() {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(KADREL_BANK_JOURNAL, error);
    ReadProblems problems;
    const JournalSnapshot journal = readJournalSnapshot(problems);
    if (!journal.found) {
        lastJournalSize = error ? UINT64_MAX : size;
        return;
    }
    if (journal.header.generation != wantedGeneration || journal.records.size() < wantedRecords) {
        // A checkpoint dropped the Wanted records of the journal before.
        wantedGeneration = journal.header.generation;
        wantedRecords = 0;
    }
    const int64_t wall = std::time(nullptr);
    const int64_t until = steadySeconds() + askingSeconds;
    // A Lease record after a wish says the folder had the lease since: the
    // wish was answered, and a program that starts and reads it again must
    // not take the lease back from wherever the player went.
    std::map<std::string, std::string> wished;  // by folded name: the name as the bot wrote it
    for (size_t i = wantedRecords; i < journal.records.size(); ++i) {
        const JournalRecord& record = journal.records[i];
        if (record.kind == static_cast<uint8_t>(JournalKind::Lease)) wished.erase(nameKey(record.name));
        // A bot that wanted it long before this program started has moved on.
        if (record.kind != static_cast<uint8_t>(JournalKind::Wanted) || record.time < wall - askingSeconds) continue;
        wished[nameKey(record.name)] = fieldBytes(record.name);
    }
    for (const auto& [key, name] : wished) {
        const auto held = leases.find(key);
        if (held != leases.end() && held->second.written > 0) continue;
        Asking& ask = asking[key];
        ask.name = name;
        ask.until = until;
    }
    wantedRecords = journal.records.size();
    lastJournalSize = error ? UINT64_MAX : size;
}

// Takes the lease where it is free, this origin's, or run out with every
// change of its holder shipped; otherwise asks for it.
bool LeaseKeeper::tryTake(EconomyDb& db, const std::string& key, Asking& ask, std::string& failure) {
    const std::string keyHex = "\\x" + hexText(key);
    const std::string nameHex = "\\x" + hexText(ask.name);
    const std::string self = std::to_string(origin);
    if (!db.exec("BEGIN", {}, failure)) return false;
    const QueryResult inserted =
        db.run("INSERT INTO leases (key, origin, until, name) VALUES ($1::bytea, $2, now() + " + term +
                   ", $3::bytea) ON CONFLICT (key) DO NOTHING RETURNING floor(extract(epoch FROM until))::bigint",
               {keyHex, self, nameHex});
    if (failed(inserted, failure)) return rollBack(db);
    int64_t ends = inserted.rows() == 1 ? inserted.number(0, 0) : 0;
    if (ends == 0) {
        const QueryResult holder = db.run(
            "SELECT l.origin, l.until <= now(), coalesce(o.caught_up_at > l.until, false), "
            "floor(extract(epoch FROM l.until))::bigint FROM leases l JOIN origins o ON o.origin = l.origin "
            "WHERE l.key = $1::bytea FOR UPDATE OF l",
            {keyHex});
        if (failed(holder, failure)) return rollBack(db);
        // Let go between the two statements: the next round tries again.
        if (holder.rows() == 0) return db.exec("COMMIT", {}, failure);
        const bool ours = holder.number(0, 0) == origin;
        const bool expired = holder.text(0, 1) == "t";
        const bool shipped = holder.text(0, 2) == "t";
        if (ours || (expired && shipped)) {
            const QueryResult taken = db.run("UPDATE leases SET origin = $2, until = now() + " + term +
                                                 ", name = $3::bytea WHERE key = $1::bytea "
                                                 "RETURNING floor(extract(epoch FROM until))::bigint",
                                             {keyHex, self, nameHex});
            if (failed(taken, failure)) return rollBack(db);
            ends = taken.number(0, 0);
        } else {
            // Asked of a live holder, which hands over at once; an expired
            // one hands over should it come back before it has shipped.
            if (!db.exec("INSERT INTO lease_requests (key, origin) VALUES ($1::bytea, $2) ON CONFLICT (key, origin) "
                         "DO UPDATE SET asked = now()",
                         {keyHex, self}, failure) ||
                !db.exec("SELECT pg_notify($1, $2)", {leasesChannel, holder.text(0, 0)}, failure) ||
                !db.exec("COMMIT", {}, failure)) {
                return rollBack(db);
            }
            if (expired && !ask.told) {
                ask.told = true;
                std::cerr << "kadrel sync: the lease of " << shown(ask.name) << " ran out at origin " << holder.text(0, 0)
                          << ", which has not shipped since: nobody may take the player's credits until it does\n";
            }
            return true;
        }
    }
    const QueryResult position =
        db.run("SELECT greatest((SELECT max(position) FROM changes WHERE origin <> $1), "
               "(SELECT max(position) FROM openings WHERE origin <> $1), 0)",
               {self});
    if (failed(position, failure)) return rollBack(db);
    if (!db.exec("DELETE FROM lease_requests WHERE key = $1::bytea AND origin = $2", {keyHex, self}, failure) ||
        !db.exec("COMMIT", {}, failure)) {
        return rollBack(db);
    }
    leases[key] = {ask.name, ends, 0, position.number(0, 0), true};
    return true;
}

// Every lease held runs a term from now; one lost meanwhile (it ran out and
// another folder took it) is written as let go.
bool LeaseKeeper::renew(EconomyDb& db, std::string& failure) {
    lastRenewal = std::chrono::steady_clock::now();
    if (leases.empty()) return true;
    Column keys;
    for (const auto& [key, lease] : leases) keys.addBytes(key);
    const QueryResult renewed =
        db.run("UPDATE leases SET until = now() + " + term + " WHERE origin = $1 AND key IN (SELECT " +
                   columnBytes("k") + " FROM unnest(string_to_array($2, ',')) AS t(k)) "
                   "RETURNING key, floor(extract(epoch FROM until))::bigint",
               {std::to_string(origin), keys.text()});
    if (failed(renewed, failure)) return false;
    std::map<std::string, int64_t> ends;
    for (int row = 0; row < renewed.rows(); ++row) ends[renewed.bytes(row, 0)] = renewed.number(row, 1);
    std::vector<std::pair<std::string, int64_t>> writes;
    for (auto it = leases.begin(); it != leases.end();) {
        const auto found = ends.find(it->first);
        if (found == ends.end()) {
            std::cerr << "kadrel sync: lost the lease of " << shown(it->second.name) << " to another folder\n";
            if (it->second.written != 0) writes.emplace_back(it->second.name, 0);
            it = leases.erase(it);
            continue;
        }
        it->second.ends = found->second;
        if (!it->second.pending) writes.emplace_back(it->second.name, found->second);
        ++it;
    }
    if (!writeEnds(writes, failure)) return false;
    for (auto& [key, lease] : leases) {
        if (!lease.pending) lease.written = lease.ends;
    }
    return true;
}

// Leases taken are written once the folder holds every change the others
// made before the taking: the previous holder's spends are then in its
// balances.
bool LeaseKeeper::writePending(const FolderSteps& steps, std::string& failure) {
    long long needed = -1;
    for (const auto& [key, lease] : leases) {
        if (lease.pending) needed = std::max(needed, lease.position);
    }
    if (needed < 0) return true;
    if (needed > broughtDown) {
        const long long down = steps.bringDown(failure);
        if (down < 0) return false;
        broughtDown = down;
    }
    const long long down = broughtDown;
    std::vector<std::pair<std::string, int64_t>> writes;
    for (const auto& [key, lease] : leases) {
        if (lease.pending && lease.position <= down) writes.emplace_back(lease.name, lease.ends);
    }
    if (!writeEnds(writes, failure)) return false;
    for (auto& [key, lease] : leases) {
        if (lease.pending && lease.position <= down) {
            lease.pending = false;
            lease.written = lease.ends;
            std::cerr << "kadrel sync: holds the lease of " << shown(lease.name) << '\n';
        }
    }
    return true;
}

bool LeaseKeeper::writeEnds(const std::vector<std::pair<std::string, int64_t>>& ends, std::string& failure) {
    if (ends.empty()) return true;
    BankJournal& journal = bank->shared.bank;
    const BankJournal::Hold hold(journal);
    if (!journal.ready()) {
        failure = "cannot lock or read the folder's journal";
        return false;
    }
    const int64_t now = std::time(nullptr);
    journal.reserve(ends.size());
    for (const auto& [name, end] : ends) {
        char field[20];
        fillName(field, name);
        journal.note(makeLeaseRecord(field, end, now));
    }
    if (!journal.commit()) {
        failure = "cannot append to the folder's journal";
        return false;
    }
    return true;
}

}  // namespace kadrel::tools::sync
