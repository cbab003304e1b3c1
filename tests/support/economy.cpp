#include "economy.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "accounts/bank_reader.h"
#include "accounts/shared_economy.h"
#include "bank_model.h"
#include "run_program.h"
#include "tools/working_directory.h"

namespace kadrel::testing {

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr const char* clerk = "[private to Clerk] ";
const std::string credits = "[Credits]\nKill=10\nKilled=0\n";
const std::string shop = "[Item1]\nName=Shield\nValue=7\nPrivAction0=%name% bought a shield\n";

std::string folded(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return name;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::string field(const char* bytes) { return std::string(bytes, strnlen(bytes, 20)); }

// The change a player was told of, as the history's records name it; empty
// for an answer that changed nothing.
std::string promised(const std::string& reply) {
    const size_t close = reply.find("] ");
    if (reply.rfind("[private to ", 0) != 0 || close == std::string::npos) return "";
    const std::string player = reply.substr(12, close - 12);
    const std::string said = reply.substr(close + 2);
    const size_t donated = said.find(" credits donated to ");
    if (donated != std::string::npos) {
        return "donation|" + player + "|" + said.substr(donated + 20) + "|" + said.substr(0, donated);
    }
    return said == player + " bought a shield" ? "purchase|" + player + "|Shield|7" : "";
}

// The same form from the history's record that takes the credits.
std::string promised(const JournalRecord& record) {
    const auto cause = static_cast<JournalCause>(record.cause);
    if (cause != JournalCause::DonationGiven && cause != JournalCause::Purchase) return "";
    return std::string(cause == JournalCause::Purchase ? "purchase|" : "donation|") + field(record.name) + "|" +
           field(record.party) + "|" + std::to_string(record.amount);
}

// A folder's own changes, one "number|kind|cause|ends|time|detail|name|party|amount|before|after" a line, and
// the changes that players were told of, as promised() writes them.
struct FolderChanges {
    std::vector<std::string> lines;
    std::multiset<std::string> promises;
    uint64_t last = 0;
    long long arrived = 0;  // the highest position of the other folders' changes it holds
};

FolderChanges folderChanges(const fs::path& folder) {
    struct Reader final : TransactionVisitor {
        void transaction(std::span<const JournalRecord> records) override {
            // Another folder's change, brought down: not this folder's own.
            if (records.back().kind == static_cast<uint8_t>(JournalKind::Arrived)) {
                found.arrived = std::max<long long>(found.arrived, records.back().detail);
                return;
            }
            for (const JournalRecord& r : records) {
                found.lines.push_back(std::to_string(r.sequence) + "|" + std::to_string(r.kind) + "|" +
                                      std::to_string(r.cause) + "|" + ((r.flags & endsTransaction) != 0 ? "t" : "f") +
                                      "|" + std::to_string(r.time) + "|" + std::to_string(r.detail) + "|" +
                                      field(r.name) + "|" + field(r.party) + "|" + std::to_string(r.amount) + "|" +
                                      std::to_string(r.before) + "|" + std::to_string(r.after));
                if (!promised(r).empty()) found.promises.insert(promised(r));
                found.last = r.sequence;
            }
        }
        FolderChanges found;
    } reader;
    const tools::WorkingDirectory inside(folder);
    walkTransactions(reader);
    return reader.found;
}

// A journal read while a save replaces it shows nothing, not even the
// share that every folder here has: such a read is tried again.
SharedEconomy standingOf(const fs::path& folder) {
    const tools::WorkingDirectory inside(folder);
    SharedEconomy standing;
    for (int attempt = 0; attempt < 50 && !standing.shared(); ++attempt) {
        ReadProblems problems;
        standing = sharedEconomyOf(readJournalSnapshot(problems).records);
    }
    return standing;
}

// The origin the economy knows the folder by, and the number its opening reaches.
std::pair<std::string, uint64_t> originOf(const PostgresServer& server, const ScratchFolder& folder) {
    const std::string file = folder.read("Quorlen.sync");
    const size_t at = file.find("origin ");
    const std::string key = at == std::string::npos ? "" : file.substr(at + 7, 32);
    const std::string row = server.query("SELECT origin || '|' || opened_through FROM origins WHERE key = '" + key + "'");
    const size_t bar = row.find('|');
    if (bar == std::string::npos) return {"", 0};
    return {row.substr(0, bar), std::stoull(row.substr(bar + 1))};
}

}  // namespace

ArenaHost::ArenaHost(const fs::path& folder, const std::vector<std::string>& players)
    : process({KADREL_PROGRAM, "arena"}, folder, folder / ".arena-log") {
    std::string steps = "init\njoin Clerk\n";
    for (size_t i = 0; i < players.size(); ++i) steps += "join " + players[i] + " team " + std::to_string(i + 1) + "\n";
    send(steps);
}

void ArenaHost::send(const std::string& steps) { process.write(steps); }

bool ArenaHost::hear(std::chrono::milliseconds patience) {
    const std::optional<std::string> line = process.readLine(patience);
    if (!line) return false;
    if (line->rfind(clerk, 0) == 0) {
        ++answered;
    } else if (line->rfind("[private to ", 0) == 0) {
        heard.push_back(*line);
    }
    return true;
}

bool ArenaHost::settle() {
    // The clerk's question comes after every step sent: its answer, after theirs.
    if (!process.write("Clerk: !creds\n")) return false;
    ++asked;
    while (answered < asked) {
        if (!hear(20s)) return false;
    }
    return true;
}

std::vector<std::string> ArenaHost::answers() {
    EXPECT_TRUE(settle());
    const size_t from = std::exchange(looked, heard.size());
    return {heard.begin() + static_cast<std::ptrdiff_t>(from), heard.end()};
}

void ArenaHost::kill() {
    process.stop(SIGKILL);
    while (hear(5s)) {
    }
}

Machine::Machine(const PostgresServer& server, int number, const std::vector<std::string>& names, int32_t credits)
    : players([&] {
          std::vector<std::string> named;
          for (const std::string& name : names) named.push_back(name + std::to_string(number));
          return named;
      }()),
      present(players),
      relay(server.port()) {
    Ledger opening;
    for (const std::string& player : players) opening.push_back({player, credits});
    folder.write(bankFileName(), bankBytes(opening));
    folder.write("credits.ini", ::kadrel::testing::credits);
    folder.write("buy.ini", shop);
}

std::string Machine::conninfo() const {
    return "host=127.0.0.1 port=" + std::to_string(relay.port()) + " user=kadrel dbname=postgres connect_timeout=2";
}

bool Machine::join() {
    const ProgramRun joined = runKadrel("sync '" + folder.path().string() + "' --db '" + conninfo() + "' --join --apply");
    EXPECT_EQ(joined.status, 0) << joined.out << joined.err;
    return joined.status == 0;
}

void Machine::startSync() {
    sync.emplace(std::vector<std::string>{KADREL_PROGRAM, "sync", folder.path().string(), "--db=" + conninfo()},
                 folder.path(), folder.path() / ".sync-log");
}

void Machine::start() {
    startSync();
    host.emplace(folder.path(), present);
}

void Machine::enter(const std::string& player) {
    // A team of its own, so that its kills are no team kills.
    host->send("join " + player + " team " + std::to_string(100 + ++arrivals) + "\ntick\n");
    present.push_back(player);
}

void Machine::leave(const std::string& player) {
    host->send("leave " + player + "\ntick\n");
    std::erase(present, player);
}

int64_t Machine::leaseEnd(const std::string& player) const {
    return standingOf(folder.path()).leaseEnd(nameKeyOfText(player.c_str()));
}

// As the bots judge it, by the plug-in's own rule; a journal that could not
// be read shows no share, and no lease.
bool Machine::holdsLease(const std::string& player) const {
    const SharedEconomy standing = standingOf(folder.path());
    return standing.shared() && standing.mayTake(player.c_str(), std::time(nullptr));
}

bool Machine::awaitLease(const std::string& player, std::chrono::seconds patience) {
    for (const auto until = std::chrono::steady_clock::now() + patience; !holdsLease(player);) {
        if (std::chrono::steady_clock::now() > until) {
            ADD_FAILURE() << folder.path() << " has no lease of " << player << ": " << folder.read(".sync-log");
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool Machine::crash() {
    host->kill();
    const bool running = sync->stop(SIGKILL) == -1;
    earlierReplies.insert(earlierReplies.end(), host->replies().begin(), host->replies().end());
    host.reset();
    sync.reset();
    return running;
}

Economy::Economy(int count, const std::vector<std::string>& names, int32_t credits) {
    if (!server.installed() || !server.failure().empty()) return;
    for (int i = 0; i < count; ++i) machines.push_back(std::make_unique<Machine>(server, i, names, credits));
}

bool Economy::begin() {
    for (const auto& machine : machines) {
        if (!machine->join()) return false;
        machine->start();
        // A tick shows the bot its players, each come without a lease.
        machine->host->send("tick\n");
    }
    // The story starts once every folder holds its own players' leases.
    for (const auto& machine : machines) {
        for (const std::string& player : machine->players) {
            if (!machine->awaitLease(player, 20s)) return false;
        }
    }
    return true;
}

void Economy::move(const std::string& player, Machine& from, Machine& to) {
    // Whatever the player did where they were is done before they go.
    EXPECT_TRUE(from.host->settle());
    from.leave(player);
    to.enter(player);
}

std::vector<std::string> Economy::play(std::mt19937& random, int count) {
    std::vector<std::string> sent;
    for (const auto& machine : machines) {
        const std::vector<std::string>& players = machine->present;
        std::string steps;
        for (int i = 0; i < count; ++i) {
            const size_t one = random() % players.size();
            const std::string& other = players[(one + 1 + random() % (players.size() - 1)) % players.size()];
            // Now and then the bot saves, and so files its journal into the history.
            const unsigned what = random() % 50;
            steps += what == 0  ? "tick 300\n"
                     : what < 20 ? players[one] + " kills " + other + "\n"
                     : what < 30 ? players[one] + ": !buy shield\n"
                                 : players[one] + ": !donate " + other + ":" + std::to_string(1 + random() % 60) + "\n";
        }
        machine->host->send(steps);
        sent.push_back(steps);
    }
    return sent;
}

bool Economy::converge(std::chrono::seconds patience) {
    for (const auto& machine : machines) {
        if (machine->host && !machine->host->settle()) {
            ADD_FAILURE() << "the host of " << machine->folder.path() << " does not answer: "
                          << machine->folder.read(".arena-log");
            return false;
        }
    }
    const auto until = std::chrono::steady_clock::now() + patience;
    for (const auto& machine : machines) {
        const auto [origin, opened] = originOf(server, machine->folder);
        const std::string last = std::to_string(std::max(opened, folderChanges(machine->folder.path()).last));
        while (origin.empty() || server.query("SELECT shipped_through FROM origins WHERE origin = " + origin) != last) {
            if (std::chrono::steady_clock::now() > until) {
                ADD_FAILURE() << "origin " << origin << " has not shipped through change " << last << ": "
                              << machine->folder.read(".sync-log");
                return false;
            }
            std::this_thread::sleep_for(50ms);
        }
    }
    // Then every folder holds what the others shipped.
    for (const auto& machine : machines) {
        const std::string origin = originOf(server, machine->folder).first;
        const long long others = std::stoll(server.query(
            "SELECT coalesce(max(position), 0) FROM (SELECT position FROM changes WHERE origin <> " + origin +
            " UNION ALL SELECT position FROM openings WHERE origin <> " + origin + ") AS t"));
        while (folderChanges(machine->folder.path()).arrived < others) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(50ms);
        }
    }
    return true;
}

void Economy::check() {
    size_t answers = 0;
    std::map<std::string, std::string> economy;
    for (const std::string& row : lines(server.query("SELECT encode(key, 'escape') || '|' || credits FROM balances"))) {
        economy[row.substr(0, row.find('|'))] = row.substr(row.find('|') + 1);
    }
    for (const auto& machine : machines) {
        const auto [origin, opened] = originOf(server, machine->folder);
        ASSERT_FALSE(origin.empty()) << machine->folder.path() << " has not joined";
        const FolderChanges folder = folderChanges(machine->folder.path());
        // Every change after the opening, once, as the folder holds it.
        std::vector<std::string> shipped;
        for (const std::string& line : folder.lines) {
            if (std::stoull(line) > opened) shipped.push_back(line);
        }
        EXPECT_EQ(lines(server.query("SELECT number || '|' || kind || '|' || cause || '|' || CASE WHEN ends THEN 't' "
                                     "ELSE 'f' END || '|' || made || '|' || detail || '|' || encode(name, 'escape') || "
                                     "'|' || encode(party, 'escape') || '|' || amount || '|' || before || '|' || after "
                                     "FROM changes WHERE origin = " + origin + " ORDER BY number")),
                  shipped)
            << "origin " << origin;
        // What a player was told happened is in the history, each answer its own change.
        std::vector<std::string> replies = machine->earlierReplies;
        if (machine->host) replies.insert(replies.end(), machine->host->replies().begin(), machine->host->replies().end());
        std::multiset<std::string> told;
        for (const std::string& reply : replies) {
            if (!promised(reply).empty()) told.insert(promised(reply));
        }
        answers += told.size();
        for (const std::string& promise : std::set<std::string>(told.begin(), told.end())) {
            EXPECT_GE(folder.promises.count(promise), told.count(promise)) << promise << " in " << machine->folder.path();
        }
        // The folder's balances are the economy's.
        const tools::WorkingDirectory inside(machine->folder.path());
        for (const auto& [name, balance] : exportedBalances()) {
            EXPECT_GE(balance, 0) << name;
            EXPECT_EQ(economy[folded(name)], std::to_string(balance)) << name << " in " << machine->folder.path();
        }
    }
    // Each balance is its openings and the changes of its name, and none is below zero.
    EXPECT_EQ(server.query("SELECT count(*) FROM balances b FULL JOIN (SELECT key, sum(credits) AS credits FROM "
                           "(SELECT key, credits::bigint FROM openings UNION ALL SELECT decode(lower(encode(name, "
                           "'escape')), 'escape'), after - before FROM changes) AS made GROUP BY key) AS said "
                           "ON b.key = said.key WHERE b.credits IS DISTINCT FROM said.credits"),
              "0");
    EXPECT_EQ(server.query("SELECT count(*) FROM balances WHERE credits < 0"), "0");
    EXPECT_GT(answers, 0u);
}

}  // namespace kadrel::testing
