#include "postgres_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tools/whole_file.h"

namespace kadrel::testing {

namespace fs = std::filesystem;

namespace {

// The newest server Debian's packages installed.
std::string serverPrograms() {
    std::string found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", error)) {
        if (fs::exists(entry.path() / "bin/initdb", error) && entry.path().string() > found) found = entry.path().string();
    }
    return found.empty() ? "" : found + "/bin";
}

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// A loopback port nothing listens on at the moment.
uint16_t freePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool found = probe >= 0 && bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (probe >= 0) close(probe);
    return found ? ntohs(address.sin_port) : 0;
}

}  // namespace

std::string PostgresServer::asOwner(const std::string& command) const {
    return (geteuid() == 0 ? "runuser -u nobody -- " : "") + command;
}

PostgresServer::PostgresServer(bool durable) : bin(serverPrograms()), durable(durable), tcpPort(freePort()) {
    if (bin.empty()) {
        why = "no PostgreSQL server is installed (scripts/ensure-packages sync installs one)";
        return;
    }
    fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    const std::string data = (folder.path() / "data").string();
    fs::create_directory(data);
    if (geteuid() == 0 && std::system(("chown nobody " + quoted(data)).c_str()) != 0) why = "cannot give the cluster to nobody";
    const std::string init = asOwner(bin + "/initdb -D " + quoted(data) + " -A trust -U kadrel -E UTF8 --no-sync >" +
                                     quoted(folder.path() / "initdb.log") + " 2>&1");
    if (why.empty() && std::system(init.c_str()) != 0) {
        why = "initdb failed: " + tools::readWholeFile(folder.path() / "initdb.log").value_or("");
    }
    if (why.empty() && !start()) why = "the server did not start: " + tools::readWholeFile(data + "/server.log").value_or("");
}

PostgresServer::~PostgresServer() { stop(); }

bool PostgresServer::start() {
    const std::string data = (folder.path() / "data").string();
    // Under nice: it shares the machine with the rest of the suite.
    const std::string command = asOwner("nice -n 10 " + bin + "/pg_ctl -D " + quoted(data) + " -w -t 60 -l " +
                                        quoted(data + "/server.log") + " -o " +
                                        quoted("-k " + data + " -c listen_addresses=127.0.0.1 -p " + std::to_string(tcpPort) +
                                               (durable ? "" : " -c fsync=off")) + " start >/dev/null");
    running = std::system(command.c_str()) == 0;
    return running;
}

bool PostgresServer::stop() {
    if (!running) return true;
    const std::string data = (folder.path() / "data").string();
    running = std::system(asOwner(bin + "/pg_ctl -D " + quoted(data) + " -m immediate stop >/dev/null").c_str()) != 0;
    return !running;
}

std::string PostgresServer::conninfo(const std::string& database) const {
    return "host=" + (folder.path() / "data").string() + " port=" + std::to_string(tcpPort) + " user=kadrel dbname=" +
           database;
}

std::string PostgresServer::query(const std::string& sql, const std::string& database) const {
    const std::string out = (folder.path() / "query.out").string();
    const std::string command = bin + "/psql -X -q -A -t " + quoted(conninfo(database)) + " -c " + quoted(sql) + " >" +
                                quoted(out) + " 2>&1";
    std::system(command.c_str());
    std::string text = tools::readWholeFile(out).value_or("");
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace kadrel::testing
