#include "tools/sync/schema.h"

#include <iterator>

namespace kadrel::tools::sync {

namespace {

// Step N brings a database from version N - 1 to N. A step once shipped is
// never edited: a change is a new step.
constexpr const char* steps[] = {
    R"(
CREATE SEQUENCE economy_position;
CREATE TABLE origins (
    origin integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    key text NOT NULL UNIQUE,
    label text NOT NULL,
    joined timestamptz NOT NULL DEFAULT now(),
    opened_through bigint NOT NULL,
    shipped_through bigint NOT NULL,
    shipped_at timestamptz
);
CREATE TABLE changes (
    origin integer NOT NULL REFERENCES origins,
    number bigint NOT NULL,
    position bigint NOT NULL UNIQUE DEFAULT nextval('economy_position'),
    kind smallint NOT NULL,
    cause smallint NOT NULL,
    ends boolean NOT NULL,
    made bigint NOT NULL,
    detail bigint NOT NULL,
    name bytea NOT NULL,
    party bytea NOT NULL,
    amount integer NOT NULL,
    before integer NOT NULL,
    after integer NOT NULL,
    PRIMARY KEY (origin, number)
);
CREATE TABLE openings (
    origin integer NOT NULL REFERENCES origins,
    key bytea NOT NULL,
    position bigint NOT NULL UNIQUE DEFAULT nextval('economy_position'),
    name bytea NOT NULL,
    credits integer NOT NULL,
    PRIMARY KEY (origin, key)
);
CREATE TABLE balances (
    key bytea PRIMARY KEY,
    name bytea NOT NULL,
    credits integer NOT NULL
);
CREATE TABLE leases (
    key bytea PRIMARY KEY,
    origin integer NOT NULL REFERENCES origins,
    until timestamptz NOT NULL
);
)",
    // Leases change hands: a folder asks the holder for one, and takes one
    // that ran out only once its holder caught up after the end.
    R"(
ALTER TABLE origins ADD COLUMN caught_up_at timestamptz;
ALTER TABLE leases ADD COLUMN name bytea NOT NULL DEFAULT '\x';
CREATE INDEX leases_origin ON leases (origin);
CREATE TABLE lease_requests (
    key bytea NOT NULL,
    origin integer NOT NULL REFERENCES origins,
    asked timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (key, origin)
);
)",
};

// Held for the transaction: programs that start at once migrate one by one.
constexpr const char* migrationLock = "SELECT pg_advisory_xact_lock(7043981136)";

}  // namespace

int schemaVersion() { return static_cast<int>(std::size(steps)); }

int installedVersion(EconomyDb& db, std::string& failure) {
    const QueryResult table = db.run("SELECT to_regclass('kadrel_schema') IS NOT NULL");
    if (!table.ok()) {
        failure = table.error();
        return -1;
    }
    if (table.text(0, 0) != "t") return 0;
    const QueryResult version = db.run("SELECT version FROM kadrel_schema");
    if (!version.ok() || version.rows() != 1) {
        failure = version.ok() ? "the table kadrel_schema does not hold one version" : version.error();
        return -1;
    }
    return static_cast<int>(version.number(0, 0));
}

bool migrate(EconomyDb& db, std::string& failure) {
    if (!db.exec("BEGIN", {}, failure)) return false;
    const auto fail = [&] {
        std::string ignored;
        db.exec("ROLLBACK", {}, ignored);
        return false;
    };
    if (!db.exec(migrationLock, {}, failure) ||
        !db.exec("CREATE TABLE IF NOT EXISTS kadrel_schema (version integer NOT NULL)", {}, failure)) {
        return fail();
    }
    const QueryResult found = db.run("SELECT version FROM kadrel_schema");
    if (!found.ok()) {
        failure = found.error();
        return fail();
    }
    int version = found.rows() == 0 ? 0 : static_cast<int>(found.number(0, 0));
    if (found.rows() == 0 && !db.exec("INSERT INTO kadrel_schema VALUES (0)", {}, failure)) return fail();
    if (version > schemaVersion()) {
        failure = "the economy's tables are of version " + std::to_string(version) + ", newer than this build's " +
                  std::to_string(schemaVersion()) + ": upgrade kadrel";
        return fail();
    }
    for (; version < schemaVersion(); ++version) {
        if (!db.exec(steps[version], {}, failure) ||
            !db.exec("UPDATE kadrel_schema SET version = $1", {std::to_string(version + 1)}, failure)) {
            failure = "step " + std::to_string(version + 1) + " of the economy's tables failed: " + failure;
            return fail();
        }
    }
    return db.exec("COMMIT", {}, failure) || fail();
}

}  // namespace kadrel::tools::sync
