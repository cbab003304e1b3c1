#include "tools/bank_view.h"

#include <cstdio>
#include <cstring>

#include "core/civil_time.h"

namespace kadrel::tools {

std::string fieldText(const char (&field)[20]) { return std::string(field, strnlen(field, sizeof field)); }

std::string latin1AsUtf8(const std::string& bytes) {
    std::string text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x80) {
            text += byte;
        } else {
            text += static_cast<char>(0xC0 | code >> 6);
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return text;
}

std::string causeText(uint8_t cause) {
    const CauseEntry* entry = causeEntry(cause);
    return entry != nullptr ? entry->name : "cause " + std::to_string(cause);
}

std::string problemText(const ReadProblem& problem) {
    const std::string file = problem.file.text();
    const std::string count = std::to_string(problem.skipped) + " of its " + std::to_string(problem.records) +
                              (problem.records == 1 ? " change" : " changes");
    switch (problem.kind) {
        case ReadProblem::Kind::Unreadable:
            return file + " cannot be read";
        case ReadProblem::Kind::DamagedBank:
            return file + " is damaged";
        case ReadProblem::Kind::BankMissing:
            return file + " is missing; balances are not shown until it is back or a bot that holds them saves it "
                          "again";
        case ReadProblem::Kind::DamagedHeader:
            return file + " is damaged: it does not begin as the bank's files do, and " + count + " were skipped";
        case ReadProblem::Kind::NewerVersion:
            if (problem.version == 0) return file + " holds a change of a kind that a newer build wrote";
            return file + " is of version " + std::to_string(problem.version) + ", which a newer build wrote";
        case ReadProblem::Kind::DamagedRecords:
            return file + " is damaged: " + count + " were skipped";
        case ReadProblem::Kind::Unsettled:
            return file + " kept changing while it was read, as bots saved; nothing was read";
    }
    return file;
}

std::string isoTime(int64_t seconds) {
    const CivilTime time = civilFromSeconds(seconds);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(time.year), time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
}

std::optional<int64_t> parseIsoTime(const std::string& text) {
    if (text.size() != 20) return std::nullopt;
    const std::string form = "dddd-dd-ddTdd:dd:ddZ";
    for (size_t i = 0; i < form.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (form[i] == 'd' ? !digit : text[i] != form[i]) return std::nullopt;
    }
    const auto number = [&](size_t at, size_t count) { return std::stoi(text.substr(at, count)); };
    CivilTime time;
    time.year = number(0, 4);
    time.month = number(5, 2);
    time.day = number(8, 2);
    time.hour = number(11, 2);
    time.minute = number(14, 2);
    time.second = number(17, 2);
    const int64_t seconds = secondsFromCivil(time);
    // A date the calendar lacks (February 30, hour 24) comes back as another.
    return isoTime(seconds) == text ? std::optional<int64_t>(seconds) : std::nullopt;
}

}  // namespace kadrel::tools
