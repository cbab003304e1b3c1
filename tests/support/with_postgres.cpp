// Runs a command beside a PostgreSQL server of its own, for test scripts:
//   with_postgres COMMAND [ARGUMENT...]
// The command finds the server through the PG* variables, over loopback TCP,
// which Windows programs under Wine reach as native ones do. The exit status
// is the command's; 77 (skipped) where no server is installed. Built with the
// build machine's compiler, also beside the Windows builds.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "postgres_server.h"

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: with_postgres COMMAND [ARGUMENT...]\n";
        return 2;
    }
    const kadrel::testing::PostgresServer server;
    if (!server.installed() || !server.failure().empty()) {
        std::cerr << "with_postgres: " << server.failure() << '\n';
        return server.installed() ? 1 : 77;
    }
    setenv("PGHOST", "127.0.0.1", 1);
    setenv("PGPORT", std::to_string(server.port()).c_str(), 1);
    setenv("PGUSER", "kadrel", 1);
    setenv("PGDATABASE", "postgres", 1);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
        std::cerr << "with_postgres: cannot run " << argv[1] << '\n';
        return 1;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
