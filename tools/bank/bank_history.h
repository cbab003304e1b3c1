// kadrel bank history: the changes the history and the journal hold, by
// transaction, as an operator asks for them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kadrel::tools {

struct HistoryQuery {
    std::string name;          // a player: every transaction with a change of theirs
    std::string operatorName;  // every !cgive, !ctake and !creset of this operator
    std::string cause;
    std::string from;  // times as isoTime writes them
    std::string to;
    std::string last;  // the last N transactions
    bool csv = false;
    bool json = false;
};

// The names --cause takes, in the order of the journal's cause numbers.
const char* const* historyCauseNames();

// Reads the history beside `bankFile` and then the journal's changes not yet
// in it, without a lock; prints the transactions the query selects, oldest
// first. Its exit status.
int showHistory(const std::string& bankFile, const HistoryQuery& query);

// "2026-12-08T09:30:00Z", seconds since 1970 in UTC, both ways; nullopt for
// text of any other form.
std::string isoTime(int64_t seconds);
std::optional<int64_t> parseIsoTime(const std::string& text);

}  // namespace kadrel::tools
