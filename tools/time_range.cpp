#include "tools/time_range.h"

#include <optional>

#include "tools/bank_view.h"

namespace kadrel::tools {

namespace {

std::optional<int64_t> boundOf(const std::string& text, bool end) {
    if (text.size() == 10) {
        const std::optional<int64_t> day = parseIsoTime(text + "T00:00:00Z");
        return day ? std::optional<int64_t>(*day + (end ? 86400 : 0)) : std::nullopt;
    }
    return parseIsoTime(text);
}

void addBound(CLI::App& command, const std::string& name, int64_t& bound, std::string& written, bool end,
              const std::string& help) {
    command.add_option_function<std::string>(
        name,
        [name, &bound, &written, end](const std::string& text) {
            const std::optional<int64_t> time = boundOf(text, end);
            if (text.empty()) throw CLI::ValidationError(name, "must not be empty");
            if (!time) {
                throw CLI::ValidationError(name, "a date is written as 2026-12-08 or 2026-12-08T09:30:00Z (UTC), not '" +
                                                     text + "'");
            }
            bound = *time;
            written = text;
        },
        help);
}

}  // namespace

void addTimeRangeOptions(CLI::App& command, TimeRange& range, const std::string& fromHelp,
                         const std::string& toHelp) {
    addBound(command, "--from", range.from, range.fromText, false, fromHelp);
    addBound(command, "--to", range.to, range.toText, true, toHelp);
}

}  // namespace kadrel::tools
