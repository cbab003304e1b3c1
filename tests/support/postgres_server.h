// A PostgreSQL server of the tests' own: a fresh cluster in a scratch folder,
// listening only on a socket there, stopped and removed when this goes.
// PostgreSQL refuses to run as root, so as root the cluster is the account
// nobody's.
#pragma once

#include <string>

#include "scratch_dir.h"

namespace kadrel::testing {

class PostgresServer {
public:
    // `durable` flushes its data as a server in service does; tests need not wait for the disk.
    explicit PostgresServer(bool durable = false);
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    bool installed() const { return !bin.empty(); }
    // Empty when it started; otherwise why not, with its log.
    const std::string& failure() const { return why; }
    // A libpq connection string for a database of the cluster.
    std::string conninfo(const std::string& database = "postgres") const;
    // Runs SQL through psql and returns what it printed, unaligned, without headers.
    std::string query(const std::string& sql, const std::string& database = "postgres") const;
    // Stops it at once, as a crash would, or starts it again.
    bool stop();
    bool start();

private:
    std::string asOwner(const std::string& command) const;

    ScratchFolder folder;
    std::string bin;
    std::string why;
    bool durable;
    bool running = false;
};

}  // namespace kadrel::testing
