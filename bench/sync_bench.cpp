// Shipping into one economy: three kadrel sync programs, one per folder, each
// shipping its folder's 40,000 changes (20,000 kills of the stand-in arena)
// into one PostgreSQL, next to the least the server can do with as many rows:
// one COPY of them into a table without indexes. The server is the
// benchmark's own, on a socket, with its data flushed as in service.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "postgres_server.h"
#include "tools/sync/economy_db.h"
#include "tools/whole_file.h"

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

BENCHMARK(ShipThreeFolders)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(CopyAsManyRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace kadrel::bench
