// kadrel sync: serves one bank folder in a shared economy on PostgreSQL. It
// runs in the foreground, shipping the folder's changes up exactly once,
// until SIGTERM or SIGINT; --join and --leave show (and with --apply carry
// out) the folder's joining and leaving, --status says how far the economy is
// behind the folder.
// The decisions behind it are in tools/sync/DESIGN.md.

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <thread>

#include "platform/program_services.h"
#include "tools/bank_view.h"
#include "tools/commands.h"
#include "tools/sync/balances.h"
#include "tools/sync/bring_down.h"
#include "tools/sync/economy_db.h"
#include "tools/sync/join.h"
#include "tools/sync/leases.h"
#include "tools/sync/leave.h"
#include "tools/sync/origin_file.h"
#include "tools/sync/schema.h"
#include "tools/sync/ship_up.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

using namespace sync;

struct SyncOptions {
    std::string directory;
    std::string conninfo;
    bool join = false;
    bool leave = false;
    bool apply = false;
    bool status = false;
};

// A stop ends the loop at its next step.
using platform::stopRequested;

void pause(std::chrono::milliseconds span) {
    const auto until = std::chrono::steady_clock::now() + span;
    while (!stopRequested && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int fail(const std::string& message) {
    std::cerr << "kadrel sync: " << message << '\n';
    return 1;
}

std::string folderLabel() {
    return platform::hostName() + ":" + std::filesystem::current_path().string();
}

std::string credits(long long amount) { return std::to_string(amount) + (amount == 1 || amount == -1 ? " credit" : " credits"); }
std::string accounts(long long count) { return std::to_string(count) + (count == 1 ? " account" : " accounts"); }
std::string changes(long long count) { return std::to_string(count) + (count == 1 ? " change" : " changes"); }
std::string players(long long count) { return std::to_string(count) + (count == 1 ? " player" : " players"); }

// Connects and reads the schema's version; false, saying why, when either fails.
bool reach(EconomyDb& db, int& version) {
    if (!db.connected()) return fail("cannot reach the economy: " + db.error()) == 0;
    std::string failure;
    version = installedVersion(db, failure);
    if (version < 0) return fail("cannot read the economy's tables: " + failure) == 0;
    return true;
}

const std::string notJoined = "this folder has not joined an economy: kadrel sync --join shows how it would";
const std::string leaving =
    "this folder's journal says that it left the economy: kadrel sync --leave --apply finishes a leaving cut short";

// One program at a time serves an origin or takes it out of the economy: a
// session lock, which the server lets go with the connection. Nullopt where
// the database could not be asked; false, saying so, where another holds it.
const std::string originLock = "70439";
std::optional<bool> holdOrigin(EconomyDb& db, long long origin, std::string& failure) {
    const QueryResult held = db.run("SELECT pg_try_advisory_lock(" + originLock + ", $1)", {std::to_string(origin)});
    if (!held.ok()) return failure = held.error(), std::nullopt;
    if (held.text(0, 0) == "t") return true;
    failure = "another kadrel sync serves this folder's origin " + std::to_string(origin);
    return false;
}

// Ships until nothing of the folder is left to ship; false, saying why.
bool shipAll(EconomyDb& db, Origin& origin, std::string& failure) {
    ReadProblems ignored;
    for (long long shipped = 1; shipped > 0;) {
        if ((shipped = shipPending(db, origin, ignored, failure)) < 0) return false;
    }
    return true;
}

// Ships the folder's changes numbered up to `through`: bots that earn
// without a pause never let a pass find nothing more to ship.
bool shipThrough(EconomyDb& db, Origin& origin, uint64_t through, std::string& failure) {
    ReadProblems ignored;
    for (;;) {
        const Pending next = pendingTransactions(static_cast<uint64_t>(origin.shippedThrough), 1);
        if (next.kept.empty() || next.kept.front().front().sequence > through) return true;
        if (shipPending(db, origin, ignored, failure) < 0) return false;
    }
}

// Ships every change the folder holds now, whatever the bots add meanwhile.
bool shipMadeSoFar(EconomyDb& db, Origin& origin, std::string& failure) {
    const uint64_t last = pendingTransactions(static_cast<uint64_t>(origin.shippedThrough), 0).last;
    return shipThrough(db, origin, last, failure);
}

// The folder's journal says that it shares its balances, so that its bots
// take credits only under leases from now on.
int markShared(long long origin) {
    BringDown down(origin);
    std::string failure;
    if (down.open(failure) && down.markShared(failure)) return 0;
    return fail("cannot mark the folder as shared (" + failure + "); kadrel sync marks it when it starts");
}

int join(const SyncOptions& options) {
    std::string failure;
    std::optional<std::string> key = readOriginKey(failure);
    if (!failure.empty()) return fail(failure);
    EconomyDb db(options.conninfo);
    int version = 0;
    if (!reach(db, version)) return 1;
    Origin origin;
    if (key && version > 0 && findOrigin(db, *key, origin, failure)) {
        // Marked as shared again, a folder whose leaving was cut short would
        // spend under leases it no longer holds.
        if (options.apply && journalSaysLeft()) return fail(leaving);
        std::cout << "this folder has joined the economy in " << db.where() << " already, as origin " << origin.id
                  << "\n";
        return options.apply ? markShared(origin.id) : 0;
    }
    if (!failure.empty()) return fail(failure);
    FolderBalances folder;
    if (!(options.apply ? lockedFolderBalances(folder) : readFolderBalances(folder))) return 1;
    if (!options.apply) {
        std::cout << "plan to join the economy in " << db.where() << ":\n";
        const std::string current = std::to_string(schemaVersion());
        std::cout << "  its tables: "
                  << (version == 0                ? "none yet: created at version " + current
                      : version < schemaVersion() ? "version " + std::to_string(version) + ", brought to " + current
                                                  : "version " + std::to_string(version))
                  << '\n';
        std::cout << "  this folder's identity: " << (key ? "its key in " : "a new key in ") << originFileName << '\n';
        std::cout << "  it brings " << accounts(static_cast<long long>(folder.accounts.size())) << " holding "
                  << credits(folder.credits()) << ", its balances as of change " << folder.through << '\n';
        if (folder.shadowed > 0) {
            std::cout << "  " << accounts(static_cast<long long>(folder.shadowed))
                      << " of names already listed are left out, as no bot reaches them\n";
        }
        if (version > 0) {
            const QueryResult held = db.run("SELECT count(*), coalesce(sum(credits), 0) FROM balances");
            if (!held.ok()) return fail(held.error());
            std::cout << "  the economy holds " << accounts(held.number(0, 0)) << " with " << credits(held.number(0, 1))
                      << "; a balance of a name it holds already grows by the folder's\n";
        }
        std::cout << "  the changes after number " << folder.through << " are shipped by kadrel sync\n";
        std::cout << "run again with --apply to join\n";
        return 0;
    }
    // The key reaches the disk before the database hears of it: a join cut
    // short goes on under the same key, and a key is never opened twice.
    if (!key) {
        key = newOriginKey();
        if (!writeOriginKey(*key)) return fail(std::string("cannot write ") + originFileName + "; nothing was changed");
    }
    if (!migrate(db, failure)) return fail(failure);
    if (!registerOrigin(db, *key, folderLabel(), folder, failure)) {
        if (!failure.empty()) return fail("joining failed, and nothing was changed in the economy: " + failure);
        std::cout << "this folder has joined the economy in " << db.where() << " already\n";
        return 0;
    }
    if (!findOrigin(db, *key, origin, failure)) return fail(failure);
    std::cout << "joined the economy in " << db.where() << " as origin " << origin.id << ", bringing "
              << accounts(static_cast<long long>(folder.accounts.size())) << " holding " << credits(folder.credits())
              << "; changes after number " << folder.through << " are shipped by kadrel sync\n";
    return markShared(origin.id);
}

int showStatus(const SyncOptions& options) {
    std::string failure;
    const std::optional<std::string> key = readOriginKey(failure);
    if (!failure.empty()) return fail(failure);
    EconomyDb db(options.conninfo);
    if (!db.connected()) {
        std::cout << "economy: not reachable: " << db.error() << '\n';
        return 1;
    }
    const int version = installedVersion(db, failure);
    if (version < 0) return fail("cannot read the economy's tables: " + failure);
    std::cout << "economy: reachable, " << db.where() << ", "
              << (version == 0 ? "no economy there yet" : "tables of version " + std::to_string(version)) << '\n';
    Origin origin;
    if (!key || version == 0 || !findOrigin(db, *key, origin, failure)) {
        if (!failure.empty()) return fail(failure);
        std::cout << "folder: has not joined this economy (kadrel sync --join shows how it would)\n";
        return 1;
    }
    const Pending pending = pendingTransactions(static_cast<uint64_t>(origin.shippedThrough), 0);
    const uint64_t changes = pending.records;
    const long long seconds = changes == 0 ? 0 : std::max<long long>(0, std::time(nullptr) - pending.oldestTime);
    // The names where a reader takes them in at a glance.
    HeldLeases leases;
    if (!heldLeases(db, origin.id, 10, leases, failure)) return fail(failure);
    std::cout << "folder: origin " << origin.id << ", shipped through change " << origin.shippedThrough << '\n';
    std::cout << "lag: " << changes << (changes == 1 ? " change, " : " changes, ") << seconds
              << (seconds == 1 ? " second\n" : " seconds\n");
    const QueryResult behind = db.run(
        "SELECT count(*), coalesce(extract(epoch FROM now())::bigint - min(made), 0) FROM (SELECT made FROM changes "
        "WHERE position > $1 AND origin <> $2 UNION ALL SELECT extract(epoch FROM g.joined)::bigint FROM openings o "
        "JOIN origins g ON g.origin = o.origin WHERE o.position > $1 AND o.origin <> $2) AS t",
        {std::to_string(arrivedThrough()), std::to_string(origin.id)});
    if (!behind.ok()) return fail(behind.error());
    const long long down = behind.number(0, 0);
    const long long downSeconds = std::max(0LL, behind.number(0, 1));
    std::cout << "lag down: " << down << (down == 1 ? " change, " : " changes, ") << downSeconds
              << (downSeconds == 1 ? " second" : " seconds") << " of other folders not yet in this one\n";
    std::cout << "leases held: " << leases.count;
    for (size_t i = 0; i < leases.names.size() && leases.count <= 10; ++i) std::cout << (i == 0 ? ": " : ", ") << leases.names[i];
    std::cout << '\n';
    for (const ReadProblem& problem : pending.passedOver) std::cout << "passed over: " << problemText(problem) << '\n';
    return 0;
}

// The leases the economy gives the origin, as a plan tells them.
bool tellLeases(EconomyDb& db, long long origin) {
    HeldLeases leases;
    std::string failure;
    if (!heldLeases(db, origin, 10, leases, failure)) return fail(failure) == 0;
    std::cout << "  it lets go of the leases of " << players(leases.count);
    for (size_t i = 0; i < leases.names.size() && leases.count <= 10; ++i) std::cout << (i == 0 ? ": " : ", ") << leases.names[i];
    std::cout << (leases.count > 0 ? ", which other machines may then take at once\n" : "\n");
    return true;
}

int planLeaving(EconomyDb& db, const Origin& origin, bool left, bool served) {
    std::cout << "plan to " << (left ? "finish leaving" : "leave") << " the economy in " << db.where() << ", as origin "
              << origin.id << ":\n";
    if (left) {
        std::cout << "  the folder's journal says that it left: nothing more is shipped, what it did since is its own\n";
    } else {
        const Pending pending = pendingTransactions(static_cast<uint64_t>(origin.shippedThrough), 0);
        std::cout << "  its bots stop taking the credits of the players whose leases it holds\n";
        std::cout << "  it ships the " << changes(static_cast<long long>(pending.records))
                  << " that the economy lacks (it holds the folder's changes through number " << origin.shippedThrough
                  << ")\n";
    }
    if (!tellLeases(db, origin.id)) return 1;
    if (!left) {
        std::cout << "  the folder's balances are then its own again: its bots take credits without leases, and "
                     "!creset and kadrel bank set, import, undo and rollback work again\n";
    }
    std::cout << "  the economy keeps the folder's history: its opening, its changes and the balances they made stay; "
                 "the folder's changes no longer go up, nor do the others' come down\n";
    std::cout << "  " << originFileName << " is removed: kadrel sync --join would join the folder anew, bringing its "
              << "balances as a new folder's\n";
    if (!served) std::cout << "  another kadrel sync serves the folder now: stop it first\n";
    std::cout << "run again with --apply to " << (left ? "finish leaving" : "leave") << '\n';
    return 0;
}

// Leaving: the plan, or with --apply its steps, each safe to cut short. The
// bots stop spending under the folder's leases, everything is shipped, the
// leases go from the economy, the journal says that the folder left once
// nothing of it is unshipped, and Quorlen.sync goes. Before that Shared
// record the folder is a member still, which kadrel sync serves on or
// --leave --apply takes up again; after it, only the last steps are done
// again and nothing more is shipped: what its bots do then is its own.
int leave(const SyncOptions& options) {
    std::string failure;
    const std::optional<std::string> key = readOriginKey(failure);
    if (!failure.empty()) return fail(failure);
    if (!key) return fail(notJoined);
    EconomyDb db(options.conninfo);
    // Leaving without shipping would lose the folder's last changes from the economy.
    if (!db.connected()) return fail("cannot reach the economy: " + db.error() + "; leaving ships first: nothing was changed");
    const int version = installedVersion(db, failure);
    if (version < 0) return fail("cannot read the economy's tables: " + failure);
    Origin origin;
    if (version == 0 || !findOrigin(db, *key, origin, failure)) {
        if (!failure.empty()) return fail(failure);
        return fail("this folder has not joined the economy in " + db.where() + ": see kadrel sync --join");
    }
    if (options.apply && version != schemaVersion() && !migrate(db, failure)) return fail(failure);
    const bool left = journalSaysLeft();
    // Held to the end, so that no program serves the folder meanwhile.
    const std::optional<bool> held = holdOrigin(db, origin.id, failure);
    if (!held) return fail(failure);
    if (!options.apply) {
        if (*held) db.run("SELECT pg_advisory_unlock(" + originLock + ", $1)", {std::to_string(origin.id)});
        return planLeaving(db, origin, left, *held);
    }
    if (!*held) return fail(failure + ": stop it first; nothing was changed");
    const std::string goOn = "; kadrel sync --leave --apply goes on from here";
    FolderLeaving folder;
    if (!folder.open(failure)) return fail(failure);
    if (!left) {
        const std::optional<bool> follows = followsEconomy(db, origin, failure);
        if (!follows || !*follows) return fail(failure + "; the folder has not left");
        if (!folder.stopSpending(failure)) return fail(failure);
        // Everything the bots did under the leases goes up before they go.
        if (!shipMadeSoFar(db, origin, failure)) return fail("shipping stopped: " + failure + goOn);
    }
    const long long dropped = dropLeases(db, origin.id, failure);
    if (dropped < 0) return fail("cannot let go of the leases: " + failure + goOn);
    // Bots earn meanwhile: the Shared record goes in once a look under the
    // journal's lock finds nothing unshipped. Bots that earn without a pause
    // leave no such moment: after a few tries the last changes go up under
    // the lock, the bots waiting for one short database transaction.
    const std::function<bool(std::string&)> shipHeld = [&](std::string& why) { return shipAll(db, origin, why); };
    FolderLeaving::Mark mark = left ? FolderLeaving::Mark::Left : FolderLeaving::Mark::Behind;
    for (int tries = 0; mark != FolderLeaving::Mark::Left; ++tries) {
        if (mark == FolderLeaving::Mark::Failed) return fail(failure + goOn);
        ReadProblems ignored;
        if (shipPending(db, origin, ignored, failure) < 0) return fail("shipping stopped: " + failure + goOn);
        mark = folder.markLeft(origin.shippedThrough, tries < 10 ? nullptr : shipHeld, failure);
    }
    std::error_code error;
    std::filesystem::remove(originFileName, error);
    if (error) return fail(std::string("cannot remove ") + originFileName + ": " + error.message() + goOn);
    std::cout << "left the economy in " << db.where() << ", which keeps origin " << origin.id
              << "'s changes through number " << origin.shippedThrough << "; let go of the leases of " << players(dropped)
              << "; the folder's balances are its own again\n";
    return 0;
}

// One connection's life: ships until a stop is asked (0), the folder cannot
// be served from this economy (1, another program serving it among the
// reasons), or the link fails (-1, with the reason in `trouble`: the caller
// tries again; -2 while a session that seems gone holds the origin).
int serve(const SyncOptions& options, const std::string& key, std::string& trouble) {
    EconomyDb db(options.conninfo);
    if (!db.connected()) return trouble = "cannot reach the economy: " + db.error(), -1;
    std::string failure;
    const int version = installedVersion(db, failure);
    if (version < 0) return trouble = "cannot read the economy's tables: " + failure, -1;
    if (version == 0) return fail("there is no economy in " + db.where() + " yet: kadrel sync --join makes one");
    if (version != schemaVersion() && !migrate(db, failure)) return fail(failure);
    Origin origin;
    if (!findOrigin(db, key, origin, failure)) {
        if (!failure.empty()) return trouble = failure, -1;
        return fail("this folder has not joined the economy in " + db.where() + ": see kadrel sync --join");
    }
    const std::optional<bool> held = holdOrigin(db, origin.id, failure);
    if (!held) return trouble = failure, -1;
    if (!*held) {
        trouble = failure;
        // A program at work asks something every moment; a session that has
        // said nothing for seconds is one whose program is gone (killed, or
        // this one before the network lost it), and the server ends it soon.
        const QueryResult live = db.run(
            "SELECT coalesce(bool_or(now() - a.state_change < interval '5 seconds'), false) FROM pg_locks l "
            "JOIN pg_stat_activity a ON a.pid = l.pid WHERE l.locktype = 'advisory' AND l.granted AND "
            "l.classid = " + originLock + " AND l.objid = $1 AND l.objsubid = 2",
            {std::to_string(origin.id)});
        return live.ok() && live.text(0, 0) == "t" ? fail(trouble) : -2;
    }
    // A folder that left meanwhile, while this program waited for the
    // database, is its own: nothing more of it goes up, nothing comes down.
    std::string unreadable;
    const std::optional<std::string> stillJoined = readOriginKey(unreadable);
    if (!unreadable.empty()) return trouble = unreadable, -1;
    if (stillJoined != key) return fail("this folder has left the economy in " + db.where());
    if (journalSaysLeft()) return fail(leaving);
    const std::optional<bool> follows = followsEconomy(db, origin, failure);
    if (!follows) return trouble = failure, -1;
    if (!*follows) return fail(failure);
    trouble.clear();
    std::cerr << "kadrel sync: serving origin " << origin.id << " in " << db.where() << ", shipped through change "
              << origin.shippedThrough << '\n';
    if (!db.exec(std::string("LISTEN ") + changesChannel, {}, failure)) return trouble = failure, -1;
    BringDown down(origin.id);
    if (!down.open(failure)) return trouble = failure, -1;
    LeaseKeeper leases(origin.id);
    if (!db.exec(std::string("LISTEN ") + leasesChannel, {}, failure) || !leases.open(db, failure)) {
        return trouble = failure, -1;
    }
    const FolderSteps steps{[&](std::string& why) { return shipMadeSoFar(db, origin, why); },
                            [&](std::string& why) { return down.pass(db, why) < 0 ? -1 : down.through(); }};
    bool leasesSaid = true;
    std::set<std::string> told;
    // Everything at the start; then whenever another folder says it shipped.
    bool othersShipped = true;
    auto sharedChecked = std::chrono::steady_clock::now() - std::chrono::seconds(2);
    auto caughtUpSaid = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    while (!stopRequested) {
        if (othersShipped) {
            const long long arrived = down.pass(db, failure);
            if (arrived < 0) return trouble = "bringing down stopped: " + failure, -1;
            if (arrived > 0) {
                std::cerr << "kadrel sync: brought down " << arrived << (arrived == 1 ? " transaction" : " transactions")
                          << ", through position " << down.through() << '\n';
            }
            othersShipped = false;
        }
        if (std::chrono::steady_clock::now() - sharedChecked >= std::chrono::seconds(2)) {
            if (!down.markShared(failure)) return trouble = failure, -1;
            sharedChecked = std::chrono::steady_clock::now();
        }
        // When this pass began by the economy's clock: should it find nothing
        // to ship, every change made before then is in the economy.
        std::string passStart;
        if (!databaseNow(db, passStart, failure)) return trouble = failure, -1;
        ReadProblems passedOver;
        const long long shipped = shipPending(db, origin, passedOver, failure);
        for (const ReadProblem& problem : passedOver) {
            if (told.insert(problemText(problem)).second) std::cerr << "kadrel sync: passed over: " << problemText(problem) << '\n';
        }
        if (shipped < 0) return trouble = "shipping stopped: " + failure, -1;
        if (shipped == 0 && std::chrono::steady_clock::now() - caughtUpSaid >= std::chrono::seconds(1)) {
            if (!markCaughtUp(db, origin.id, passStart, failure)) return trouble = failure, -1;
            caughtUpSaid = std::chrono::steady_clock::now();
        }
        if (shipped > 0) {
            std::cerr << "kadrel sync: shipped " << shipped << (shipped == 1 ? " change" : " changes") << ", through change "
                      << origin.shippedThrough << '\n';
        }
        if (!leases.round(db, steps, leasesSaid, failure)) return trouble = "keeping leases stopped: " + failure, -1;
        leasesSaid = false;
        // The economy's notices wake the program at once, and so does the
        // folder's journal as it grows (a bot may want a lease); otherwise it
        // looks again in a tenth of a second.
        for (int slice = 0; slice < 5 && !othersShipped && !leasesSaid && !leases.journalMoved() && !stopRequested;
             ++slice) {
            std::vector<EconomyDb::Notice> notices;
            if (!db.awaitNotices(std::chrono::milliseconds(20), notices)) {
                return trouble = "the link to the economy failed: " + db.error(), -1;
            }
            for (const EconomyDb::Notice& notice : notices) {
                othersShipped |= notice.channel == changesChannel && notice.payload != std::to_string(origin.id);
                leasesSaid |= notice.channel == leasesChannel;
            }
        }
    }
    return 0;
}

int run(const SyncOptions& options) {
    std::string failure;
    const std::optional<std::string> key = readOriginKey(failure);
    if (!failure.empty()) return fail(failure);
    if (!key) return fail(notJoined);
    platform::catchStopRequests();
    // A trouble that lasts is said once, and again when it changes.
    std::string trouble;
    std::string told;
    std::optional<std::chrono::steady_clock::time_point> heldSince;
    while (!stopRequested) {
        const int served = serve(options, *key, trouble);
        // A program killed a moment ago, or this one's own session that the
        // network lost, holds the origin until the server notices that its
        // connection is gone: within half a minute, by the keepalives that
        // EconomyDb sets.
        if (served != -2) heldSince.reset();
        if (served == -2 && !heldSince) heldSince = std::chrono::steady_clock::now();
        if (served == -2 && std::chrono::steady_clock::now() - *heldSince > std::chrono::seconds(40)) return fail(trouble);
        if (served > 0) return served;
        if (served == 0) break;
        if (trouble != told) std::cerr << "kadrel sync: " << trouble << "; trying again every second\n";
        told = trouble;
        pause(std::chrono::seconds(1));
    }
    std::cerr << "kadrel sync: stopped\n";
    return 0;
}

}  // namespace

void addSyncCommand(CLI::App& program, int& status) {
    auto options = std::make_shared<SyncOptions>();
    CLI::App* command = program.add_subcommand(
        "sync",
        "Serves a bank's folder in an economy that several machines share on PostgreSQL: ships the folder's changes "
        "up, each exactly once, until SIGTERM or SIGINT. Passwords belong in libpq's password or service file");
    command->add_option("directory", options->directory, "The folder of Quorlen.bank")->capture_default_str();
    command->add_option("--db", options->conninfo,
                        "The economy's database: a libpq connection string or URI; the PG* variables and a service "
                        "file fill in what it leaves out")
        ->type_name("CONNINFO");
    command->add_flag("--join", options->join, "Shows how the folder would join the economy, its balances included");
    command->add_flag("--leave", options->leave,
                      "Shows how the folder would leave the economy: the changes it ships first, the leases it lets "
                      "go; its balances become its own again, and the economy keeps its history")
        ->excludes("--join");
    command->add_flag("--apply", options->apply,
                      "With --join: joins, creating the economy's tables if there are none. With --leave: leaves, once "
                      "no other kadrel sync serves the folder");
    command->add_flag("--status", options->status,
                      "Says whether the economy is reachable, how far it is behind the folder, and the leases held")
        ->excludes("--join")
        ->excludes("--leave");
    command->callback([options, &status] {
        if (options->apply && !options->join && !options->leave) throw CLI::RequiresError("--apply", "--join or --leave");
        std::error_code error;
        if (!options->directory.empty() && !std::filesystem::is_directory(options->directory, error)) {
            status = fail("no folder " + options->directory);
            return;
        }
        const WorkingDirectory inDirectory(options->directory);
        status = options->join    ? join(*options)
                 : options->leave  ? leave(*options)
                 : options->status ? showStatus(*options)
                                   : run(*options);
    });
}

}  // namespace kadrel::tools
