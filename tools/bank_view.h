// How the kadrel program shows what the bank's read side gives: times,
// names, causes and what a read passed over. Shared by kadrel bank and
// kadrel report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "accounts/bank_reader.h"
#include "accounts/journal_format.h"

namespace kadrel::tools {

using Transaction = std::vector<JournalRecord>;

// How much a change moved: what an undo moves back.
inline int64_t movedBy(const JournalRecord& record) { return static_cast<int64_t>(record.after) - record.before; }

// The text of a name field of a record or an account.
std::string fieldText(const char (&field)[20]);

// Bytes from 0x80 up read as Latin-1, so that every name is valid UTF-8.
std::string latin1AsUtf8(const std::string& bytes);

// The cause's name, or "cause N" for one a newer build wrote.
std::string causeText(uint8_t cause);

// What a read passed over, as one line for an operator.
std::string problemText(const ReadProblem& problem);

// "2026-12-08T09:30:00Z", seconds since 1970 in UTC, both ways; nullopt for
// text of any other form.
std::string isoTime(int64_t seconds);
std::optional<int64_t> parseIsoTime(const std::string& text);

}  // namespace kadrel::tools
