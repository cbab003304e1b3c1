// The link to the economy's PostgreSQL database: one libpq connection, its
// results owned, parameters always passed apart from the statement's text.
// Whatever fails is returned as a message for the operator, never thrown.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <libpq-fe.h>

namespace kadrel::tools::sync {

// A result, freed when it goes; `ok` tells whether the statement worked.
class QueryResult {
public:
    explicit QueryResult(PGresult* result) : result(result, PQclear) {}
    bool ok() const;
    int rows() const { return PQntuples(result.get()); }
    bool isNull(int row, int column) const { return PQgetisnull(result.get(), row, column) != 0; }
    std::string text(int row, int column) const { return PQgetvalue(result.get(), row, column); }
    long long number(int row, int column) const;
    // The rows an INSERT, UPDATE or DELETE changed.
    long long affected() const;
    // A bytea column as its bytes.
    std::string bytes(int row, int column) const;
    std::string error() const;

private:
    std::unique_ptr<PGresult, void (*)(PGresult*)> result;
};

class EconomyDb {
public:
    // `conninfo` is a libpq connection string or URI; empty takes the PG*
    // variables and the service file alone.
    explicit EconomyDb(const std::string& conninfo);
    EconomyDb(const EconomyDb&) = delete;
    EconomyDb& operator=(const EconomyDb&) = delete;

    bool connected() const { return PQstatus(link.get()) == CONNECTION_OK; }
    // The last thing libpq said, on one line; libpq never puts a password in it.
    std::string error() const;
    // Where the database is, for logs: host or socket folder, port and name.
    std::string where() const;

    QueryResult run(const std::string& sql, const std::vector<std::optional<std::string>>& parameters = {});
    // Runs a statement that returns no rows; on failure its error goes to
    // `failure` and false comes back.
    bool exec(const std::string& sql, const std::vector<std::optional<std::string>>& parameters, std::string& failure);

    // A notification heard: its channel and payload.
    struct Notice {
        std::string channel;
        std::string payload;
    };
    // Waits up to `timeout` on the connection's socket for notifications of
    // the channels it listens to (LISTEN first), and hands over those that
    // came. False when the link failed.
    bool awaitNotices(std::chrono::milliseconds timeout, std::vector<Notice>& notices);
    // The payloads of those on `channel` alone.
    bool awaitNotices(const std::string& channel, std::chrono::milliseconds timeout, std::vector<std::string>& payloads);

private:
    std::unique_ptr<PGconn, void (*)(PGconn*)> link;
};

// Bytes as the hexadecimal text that decode(..., 'hex') reads.
std::string hexText(const std::string& bytes);

}  // namespace kadrel::tools::sync
