// The economy's tables, created and migrated by the program: a list of
// steps, each run once, the count of those done kept in the database.
#pragma once

#include <string>

#include "tools/sync/economy_db.h"

namespace kadrel::tools::sync {

// How many steps this build knows: the version it leaves a database at.
int schemaVersion();

// The database's version: 0 where it has no economy yet, -1 (with the reason
// in `failure`) where it cannot be read.
int installedVersion(EconomyDb& db, std::string& failure);

// Runs the steps the database lacks, in one transaction each, one program at
// a time. False, saying why in `failure`, when one fails or the database is
// of a newer version than this build knows; nothing is then changed.
bool migrate(EconomyDb& db, std::string& failure);

}  // namespace kadrel::tools::sync
