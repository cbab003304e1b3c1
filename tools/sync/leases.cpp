#include "tools/sync/leases.h"

namespace kadrel::tools::sync {

namespace {

bool failed(const QueryResult& result, std::string& failure) {
    if (result.ok()) return false;
    failure = result.error();
    return true;
}

std::string shown(const std::string& name) {
    std::string text;
    for (const char c : name) text += static_cast<unsigned char>(c) < 32 ? '?' : c;
    return text;
}

}  // namespace

bool databaseNow(EconomyDb& db, std::string& now, std::string& failure) {
    const QueryResult result = db.run("SELECT now()");
    if (failed(result, failure)) return false;
    now = result.text(0, 0);
    return true;
}

bool markCaughtUp(EconomyDb& db, long long origin, const std::string& start, std::string& failure) {
    return db.exec("UPDATE origins SET caught_up_at = $2 WHERE origin = $1",
                   {std::to_string(origin), start}, failure);
}

bool heldLeases(EconomyDb& db, long long origin, size_t listed, HeldLeases& held, std::string& failure) {
    const QueryResult result = db.run("SELECT name, count(*) OVER () FROM leases WHERE origin = $1 AND until > now() "
                                      "ORDER BY key LIMIT $2",
                                      {std::to_string(origin), std::to_string(listed)});
    if (failed(result, failure)) return false;
    held = {};
    for (int row = 0; row < result.rows(); ++row) {
        held.count = result.number(row, 1);
        held.names.push_back(shown(result.bytes(row, 0)));
    }
    return true;
}

}  // namespace kadrel::tools::sync
