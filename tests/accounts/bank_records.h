// The bank file as the tests write and read it: 24-byte records of 20 name
// bytes and a little-endian signed balance, built here byte by byte instead of
// through the plug-in's own record type.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel::testing {

struct BankRecord {
    std::string name;  // up to the first NUL of the field
    int32_t credits = 0;

    bool operator==(const BankRecord&) const = default;
};

inline void PrintTo(const BankRecord& record, std::ostream* out) { *out << record.name << ':' << record.credits; }

// One record; the name is padded with NULs, or with `filler` after the
// terminator when given, so that the bytes after the NUL can be followed.
std::string bankRecord(std::string_view name, int32_t credits, char filler = '\0');

std::string bankBytes(const std::vector<BankRecord>& records);

// Parses whole records; a trailing part record fails the calling test.
std::vector<BankRecord> parseBank(const std::vector<uint8_t>& bytes);

std::string bankFileName();

}  // namespace kadrel::testing
