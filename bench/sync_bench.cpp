// Shipping into one economy: three kadrel sync programs, one per folder, each
// shipping its folder's 40,000 changes (20,000 kills of the stand-in arena)
// into one PostgreSQL, next to the least the server can do with as many rows:
// one COPY of them into a table without indexes. And how soon a change that
// one folder's program committed is in another folder's journal, next to a
// bare notification's trip through the server. The server is the
// benchmark's own, on a socket, with its data flushed as in service.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "accounts/bank_journal.h"
#include "accounts/bank_reader.h"
#include "accounts/ledger.h"
#include "accounts/shared_economy.h"
#include "postgres_server.h"
#include "tools/sync/economy_db.h"
#include "tools/whole_file.h"
#include "tools/working_directory.h"

extern char** environ;

namespace kadrel::bench {
namespace {

constexpr int kills = 20000;
constexpr int folders = 3;
constexpr int changesPerFolder = 2 * kills;  // the killer's and the victim's

using testing::PostgresServer;
using testing::ScratchFolder;

pid_t startProgram(const std::vector<std::string>& arguments, const std::filesystem::path& directory) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    pid_t child = 0;
    posix_spawn(&child, KADREL_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

int finish(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// A folder joined to the economy in `database`, then played: its changes wait to be shipped.
std::unique_ptr<ScratchFolder> playedFolder(const PostgresServer& server, const std::string& database,
                                           const std::string& script) {
    auto folder = std::make_unique<ScratchFolder>();
    folder->write("credits.ini", tools::readWholeFile(KADREL_EXAMPLES "/credits.ini").value_or(""));
    finish(startProgram({KADREL_PROGRAM, "sync", "--db", server.conninfo(database), "--join", "--apply"}, folder->path()));
    finish(startProgram({KADREL_PROGRAM, "arena", script}, folder->path()));
    return folder;
}

void ShipThreeFolders(benchmark::State& state) {
    PostgresServer server(true);
    if (!server.failure().empty()) return state.SkipWithError(server.failure().c_str());
    ScratchFolder scripts;
    std::string script = "init\njoin Alice team 0\njoin Bob team 1\n";
    for (int i = 0; i < kills; ++i) script += "Alice kills Bob\n";
    scripts.write("kills.arena", script + "term\n");
    const std::string scriptPath = (scripts.path() / "kills.arena").string();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string database = "economy" + std::to_string(round++);
        server.query("CREATE DATABASE " + database);
        std::vector<std::unique_ptr<ScratchFolder>> played;
        for (int i = 0; i < folders; ++i) played.push_back(playedFolder(server, database, scriptPath));
        state.ResumeTiming();
        std::vector<pid_t> programs;
        for (const auto& folder : played) {
            programs.push_back(startProgram({KADREL_PROGRAM, "sync", "--db", server.conninfo(database)}, folder->path()));
        }
        // Asked over one connection: a psql a time would take the programs' CPU.
        tools::sync::EconomyDb watch(server.conninfo(database));
        const std::string shipped = "SELECT count(*) FROM origins WHERE shipped_through = " + std::to_string(changesPerFolder);
        while (watch.run(shipped).text(0, 0) != std::to_string(folders)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        state.PauseTiming();
        for (const pid_t program : programs) kill(program, SIGTERM);
        for (const pid_t program : programs) finish(program);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * folders * changesPerFolder);
}

// The same number of rows of about the same width, in one COPY.
void CopyAsManyRows(benchmark::State& state) {
    PostgresServer server(true);
    if (!server.failure().empty()) return state.SkipWithError(server.failure().c_str());
    server.query("CREATE TABLE plain (origin integer, number bigint, kind smallint, cause smallint, ends boolean, "
                 "made bigint, detail bigint, name bytea, party bytea, amount integer, before integer, after integer)");
    ScratchFolder rows;
    {
        std::ofstream out(rows.path() / "rows.tsv");
        for (int i = 0; i < folders * changesPerFolder; ++i) {
            out << i % folders << '\t' << i << "\t1\t1\tt\t1796083200\t0\t\\\\x416c696365\t\\\\x426f62\t10\t" << i << '\t'
                << i + 10 << '\n';
        }
    }
    const std::string copy = "\\copy plain FROM '" + (rows.path() / "rows.tsv").string() + "'";
    for (auto _ : state) {
        server.query(copy);
        state.PauseTiming();
        server.query("TRUNCATE plain");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * folders * changesPerFolder);
}

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); }

// The median and the 99th percentile, as counters of the benchmark.
void report(benchmark::State& state, const std::string& what, std::vector<double> spans) {
    std::sort(spans.begin(), spans.end());
    state.counters[what + "_p50_ms"] = spans[spans.size() / 2];
    state.counters[what + "_p99_ms"] = spans[spans.size() * 99 / 100];
}

// The bot's side of folder A: one award a transaction, through the plug-in's journal.
struct Awarder final : BankReporter {
    Awarder() { bank.load(); }
    ~Awarder() { bank.close(); }
    void report(const char*) override {}
    void award(int32_t amount) {
        const BankJournal::Hold hold(bank);
        const CreditAccount* account = ledger.find("Alice");
        const int32_t before = account != nullptr ? account->credits : 0;
        bank.reserve(1);
        ledger.award(amount, "Alice");
        bank.note(makeJournalRecord(JournalKind::Add, amount, "Alice", {JournalCause::Kill}, before, before + amount));
        bank.commit();
    }
    Ledger ledger;
    BankJournal bank{ledger, *this, 1};
};

off_t fileSize(const std::filesystem::path& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_size : 0;
}

// Folder A's bot awards, its program ships the award and commits; folder B's
// program hears of it and appends it to B's journal. Timed from the commit
// (when a listener of the benchmark's own hears of it) to B's journal
// growing, and from the bot's award, which waits for A's program to look at
// its journal again (every tenth of a second) as well.
void ChangeSeenInAnotherJournal(benchmark::State& state) {
    constexpr int changes = 300;
    PostgresServer server(true);
    if (!server.failure().empty()) return state.SkipWithError(server.failure().c_str());
    ScratchFolder a, b;
    for (const ScratchFolder* folder : {&a, &b}) {
        finish(startProgram({KADREL_PROGRAM, "sync", "--db", server.conninfo(), "--join", "--apply"}, folder->path()));
    }
    const pid_t programs[] = {startProgram({KADREL_PROGRAM, "sync", "--db", server.conninfo()}, a.path()),
                              startProgram({KADREL_PROGRAM, "sync", "--db", server.conninfo()}, b.path())};
    tools::sync::EconomyDb listener(server.conninfo());
    tools::sync::EconomyDb sender(server.conninfo());
    listener.run("LISTEN kadrel_changes");
    listener.run("LISTEN kadrel_bench");
    const std::filesystem::path journalOfB = b.path() / "Quorlen.bank.journal";
    std::vector<double> fromCommit, fromAward, notification;
    const tools::WorkingDirectory inA(a.path());
    Awarder bot;
    std::vector<std::string> heard;
    // B's program has brought down A's opening (none) and listens.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (auto _ : state) {
        for (int i = 0; i < changes; ++i) {
            const off_t before = fileSize(journalOfB);
            const Clock::time_point awarded = Clock::now();
            bot.award(1 + i % 7);
            heard.clear();
            while (heard.empty()) listener.awaitNotices("kadrel_changes", std::chrono::seconds(1), heard);
            const Clock::time_point committed = Clock::now();
            while (fileSize(journalOfB) == before) std::this_thread::sleep_for(std::chrono::microseconds(50));
            const Clock::time_point seen = Clock::now();
            fromCommit.push_back(milliseconds(seen - committed));
            fromAward.push_back(milliseconds(seen - awarded));
            // The reference: a notification alone, sent and heard.
            const Clock::time_point sent = Clock::now();
            sender.run("NOTIFY kadrel_bench");
            heard.clear();
            while (heard.empty()) listener.awaitNotices("kadrel_bench", std::chrono::seconds(1), heard);
            notification.push_back(milliseconds(Clock::now() - sent));
        }
    }
    for (const pid_t program : programs) kill(program, SIGTERM);
    for (const pid_t program : programs) finish(program);
    report(state, "committed_to_journal", fromCommit);
    report(state, "award_to_journal", fromAward);
    report(state, "notification", notification);
}

BENCHMARK(ChangeSeenInAnotherJournal)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A player moves between machines: folder B's bot wants the lease folder A
// holds (the Wanted record a refused spend leaves), timed until B's journal
// holds a live lease, through A's hand-over (its bots stopped, everything
// shipped, the row let go) and B's taking it and bringing down what A did.
// The player moves back and forth; the least it waits for is two
// notifications (the request and the release), as measured above.
struct Quiet final : BankReporter {
    void report(const char*) override {}
};

void writeWanted(const std::filesystem::path& folder) {
    const tools::WorkingDirectory inside(folder);
    Ledger ledger;
    Quiet quiet;
    BankJournal bank(ledger, quiet, 77);
    bank.load();
    {
        const BankJournal::Hold hold(bank);
        bank.reserve(1);
        bank.note(makeWantedRecord("Alice", std::time(nullptr)));
        bank.commit();
    }
    bank.close();
}

bool holdsLease(const std::filesystem::path& folder) {
    const tools::WorkingDirectory inside(folder);
    ReadProblems problems;
    const SharedEconomy economy = sharedEconomyOf(readJournalSnapshot(problems).records);
    return economy.mayTake("Alice", std::time(nullptr));
}

constexpr int moves = 21;

void HandOverALease(benchmark::State& state) {
    PostgresServer server(true);
    if (!server.failure().empty()) return state.SkipWithError(server.failure().c_str());
    ScratchFolder folders[2];
    std::vector<pid_t> programs;
    for (const ScratchFolder& folder : folders) {
        finish(startProgram({KADREL_PROGRAM, "sync", "--db", server.conninfo(), "--join", "--apply"}, folder.path()));
        programs.push_back(startProgram({KADREL_PROGRAM, "sync", "--db", server.conninfo()}, folder.path()));
    }
    writeWanted(folders[0].path());
    while (!holdsLease(folders[0].path())) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::vector<double> latencies;
    int to = 1;
    for (auto _ : state) {
        for (int move = 0; move < moves; ++move, to = 1 - to) {
            writeWanted(folders[to].path());
            const Clock::time_point start = Clock::now();
            while (!holdsLease(folders[to].path())) std::this_thread::sleep_for(std::chrono::microseconds(500));
            latencies.push_back(milliseconds(Clock::now() - start));
        }
        state.SetIterationTime(latencies.back() / 1000);
    }
    for (const pid_t program : programs) kill(program, SIGTERM);
    for (const pid_t program : programs) finish(program);
    report(state, "hand_over", latencies);
}

BENCHMARK(ShipThreeFolders)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(CopyAsManyRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(HandOverALease)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
}  // namespace kadrel::bench
