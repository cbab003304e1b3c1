#include "bank_records.h"

#include <gtest/gtest.h>

namespace kadrel::testing {

std::string bankRecord(std::string_view name, int32_t credits, char filler) {
    std::string record(24, filler);
    record.replace(0, name.size(), name);
    if (name.size() < 20) record[name.size()] = '\0';
    const auto value = static_cast<uint32_t>(credits);
    for (int i = 0; i < 4; ++i) record[20 + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return record;
}

std::string bankBytes(const std::vector<BankRecord>& records) {
    std::string bytes;
    for (const BankRecord& record : records) bytes += bankRecord(record.name, record.credits);
    return bytes;
}

std::vector<BankRecord> parseBank(const std::vector<uint8_t>& bytes) {
    EXPECT_EQ(bytes.size() % 24, 0u) << "the bank holds whole records only";
    std::vector<BankRecord> records;
    for (size_t offset = 0; offset + 24 <= bytes.size(); offset += 24) {
        BankRecord record;
        for (size_t i = 0; i < 20 && bytes[offset + i] != 0; ++i) record.name += static_cast<char>(bytes[offset + i]);
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[offset + 20 + i]) << (8 * i);
        record.credits = static_cast<int32_t>(value);
        records.push_back(record);
    }
    return records;
}

std::string bankFileName() { return "Quorlen.bank"; }

}  // namespace kadrel::testing
