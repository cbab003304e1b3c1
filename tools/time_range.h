// --from and --to, as every command that picks changes by time takes them:
// a day (2026-12-08) or a time (2026-12-08T09:30:00Z), in UTC. They are read
// with the command line, so that a command is handed times; text of another
// form is a usage error there.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include <CLI/CLI.hpp>

namespace kadrel::tools {

struct TimeRange {
    int64_t from = std::numeric_limits<int64_t>::min();  // included
    int64_t to = std::numeric_limits<int64_t>::max();    // not included
    std::string fromText;  // as written, for what is shown; empty when not given
    std::string toText;

    bool given() const { return !fromText.empty() || !toText.empty(); }
};

// A day given as --to counts whole: the range ends where the next day begins.
void addTimeRangeOptions(CLI::App& command, TimeRange& range, const std::string& fromHelp,
                         const std::string& toHelp);

}  // namespace kadrel::tools
