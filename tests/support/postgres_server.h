// A PostgreSQL server of the tests' own: a fresh cluster in a scratch folder,
// listening on a socket there and on a free loopback port (for links that a
// test cuts), stopped and removed when this goes.
// PostgreSQL refuses to run as root, so as root the cluster is the account
// nobody's.
#pragma once

#include <cstdint>
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
    // A libpq connection string for a database of the cluster, through its socket.
    std::string conninfo(const std::string& database = "postgres") const;
    // Its loopback TCP port.
    uint16_t port() const { return tcpPort; }
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
    uint16_t tcpPort = 0;
};

}  // namespace kadrel::testing
