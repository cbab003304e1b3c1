#include "tools/sync/economy_db.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/select.h>
#endif

#include <cstdlib>

namespace kadrel::tools::sync {

namespace {

std::string firstLine(const char* message) {
    std::string line = message != nullptr ? message : "";
    const size_t end = line.find('\n');
    return end == std::string::npos ? line : line.substr(0, end);
}

// A link that the network drops without a word (a partition, a machine
// gone) is given up within seconds rather than after the system's quarter of
// an hour, so that the program connects again as soon as it can and the
// leases move on. The connection string's own settings of these win, and so
// does PGCONNECT_TIMEOUT; a service file's do not.
struct LinkDefault {
    const char* keyword;
    const char* variable;
    const char* value;
};
constexpr LinkDefault linkDefaults[] = {
    {"connect_timeout", "PGCONNECT_TIMEOUT", "10"}, {"keepalives_idle", nullptr, "10"},
    {"keepalives_interval", nullptr, "5"},          {"keepalives_count", nullptr, "3"},
    {"tcp_user_timeout", nullptr, "15000"},
};

PGconn* connect(const std::string& conninfo) {
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const LinkDefault& setting : linkDefaults) {
        if (setting.variable != nullptr && std::getenv(setting.variable) != nullptr) continue;
        keywords.push_back(setting.keyword);
        values.push_back(setting.value);
    }
    // Expanded last, the connection string overrides what comes before it.
    keywords.insert(keywords.end(), {"dbname", nullptr});
    values.insert(values.end(), {conninfo.c_str(), nullptr});
    return PQconnectdbParams(keywords.data(), values.data(), 1);
}

}  // namespace

bool QueryResult::ok() const {
    const ExecStatusType status = PQresultStatus(result.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

long long QueryResult::number(int row, int column) const { return std::strtoll(PQgetvalue(result.get(), row, column), nullptr, 10); }

long long QueryResult::affected() const { return std::strtoll(PQcmdTuples(result.get()), nullptr, 10); }

std::string QueryResult::bytes(int row, int column) const {
    size_t length = 0;
    unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(result.get(), row, column)), &length);
    if (raw == nullptr) return {};
    std::string value(reinterpret_cast<const char*>(raw), length);
    PQfreemem(raw);
    return value;
}

std::string QueryResult::error() const { return firstLine(PQresultErrorMessage(result.get())); }

EconomyDb::EconomyDb(const std::string& conninfo) : link(connect(conninfo), PQfinish) {
    // The server's notices (a table that exists already, say) are not the
    // operator's business; errors come back with each result.
    PQsetNoticeProcessor(link.get(), [](void*, const char*) {}, nullptr);
    // The server's side of it likewise: the session of a program that the
    // network lost ends within half a minute, and with it the origin's lock,
    // which the program takes again once the network is back. A server too
    // old for one of these ends it as its own settings say.
    if (connected()) {
        PQclear(PQexec(link.get(), "SET tcp_keepalives_idle = 10; SET tcp_keepalives_interval = 5; "
                                   "SET tcp_keepalives_count = 3; SET tcp_user_timeout = 15000"));
    }
}

std::string EconomyDb::error() const { return firstLine(PQerrorMessage(link.get())); }

std::string EconomyDb::where() const {
    const char* host = PQhost(link.get());
    const char* port = PQport(link.get());
    const char* name = PQdb(link.get());
    return std::string(name != nullptr ? name : "?") + " at " + (host != nullptr ? host : "?") + ":" + (port != nullptr ? port : "?");
}

QueryResult EconomyDb::run(const std::string& sql, const std::vector<std::optional<std::string>>& parameters) {
    // Without parameters a text of several statements may run, as a step of
    // the schema does.
    if (parameters.empty()) return QueryResult(PQexec(link.get(), sql.c_str()));
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const auto& parameter : parameters) values.push_back(parameter ? parameter->c_str() : nullptr);
    return QueryResult(PQexecParams(link.get(), sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                    nullptr, nullptr, 0));
}

bool EconomyDb::exec(const std::string& sql, const std::vector<std::optional<std::string>>& parameters,
                     std::string& failure) {
    const QueryResult result = run(sql, parameters);
    if (result.ok()) return true;
    failure = result.error().empty() ? error() : result.error();
    return false;
}

bool EconomyDb::awaitNotices(const std::string& channel, std::chrono::milliseconds timeout,
                             std::vector<std::string>& payloads) {
    std::vector<Notice> notices;
    if (!awaitNotices(timeout, notices)) return false;
    for (const Notice& notice : notices) {
        if (notice.channel == channel) payloads.push_back(notice.payload);
    }
    return true;
}

bool EconomyDb::awaitNotices(std::chrono::milliseconds timeout, std::vector<Notice>& notices) {
    const auto take = [&] {
        while (PGnotify* notice = PQnotifies(link.get())) {
            notices.push_back({notice->relname, notice->extra});
            PQfreemem(notice);
        }
    };
    // Notifications that came with the last result are waiting already.
    if (PQconsumeInput(link.get()) == 0) return false;
    take();
    if (!notices.empty()) return true;
    const int socket = PQsocket(link.get());
    if (socket < 0) return false;
    fd_set readable;
    FD_ZERO(&readable);
#ifdef _WIN32
    FD_SET(static_cast<SOCKET>(socket), &readable);
#else
    FD_SET(socket, &readable);
#endif
    timeval wait{};
    wait.tv_sec = static_cast<decltype(wait.tv_sec)>(timeout.count() / 1000);
    wait.tv_usec = static_cast<decltype(wait.tv_usec)>(timeout.count() % 1000 * 1000);
    // A stop cuts the wait short where a signal can; the timeout ends it elsewhere.
    if (select(socket + 1, &readable, nullptr, nullptr, &wait) > 0) {
        if (PQconsumeInput(link.get()) == 0) return false;
        take();
    }
    return true;
}

std::string hexText(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const unsigned char byte : bytes) {
        hex.push_back(digits[byte >> 4]);
        hex.push_back(digits[byte & 15]);
    }
    return hex;
}

}  // namespace kadrel::tools::sync
