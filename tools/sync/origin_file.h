// A folder's identity in the economy: Quorlen.sync beside the bank, one line
// "origin KEY" with a random key of 32 hexadecimal digits (described in
// accounts/README.md). Written before the database learns the key, so that a
// join cut short by a crash goes on under the same key.
#pragma once

#include <optional>
#include <string>

namespace kadrel::tools::sync {

constexpr const char* originFileName = "Quorlen.sync";

// The key of the current directory's folder: nullopt when it has none, or
// (with the reason in `failure`) when the file cannot be read or is not one.
std::optional<std::string> readOriginKey(std::string& failure);

// Writes the file, flushed, in place of any other; false when it could not.
bool writeOriginKey(const std::string& key);

// 128 random bits from the system.
std::string newOriginKey();

}  // namespace kadrel::tools::sync
