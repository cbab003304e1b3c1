// The bank file as the tests, the fuzz targets and the soak run see it, built
// byte by byte instead of through the plug-in's own record type: 24-byte
// records of 20 name bytes and a little-endian signed balance. And a model
// ledger kept to the rules, to compare what the plug-in saved with.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel::testing {

constexpr size_t bankRecordBytes = 24;
constexpr size_t bankNameBytes = 20;
inline std::string bankFileName() { return "Quorlen.bank"; }

struct BankRecord {
    std::string name;  // up to the first NUL of the field
    int32_t credits = 0;

    bool operator==(const BankRecord&) const = default;
};

// A bank file's records, in file order.
using Ledger = std::vector<BankRecord>;

inline void PrintTo(const BankRecord& record, std::ostream* out) { *out << record.name << ':' << record.credits; }

// One record; the name is padded with NULs, or with `filler` after the
// terminator when given, so that the bytes after the NUL can be followed.
inline std::string bankRecord(std::string_view name, int32_t credits, char filler = '\0') {
    std::string record(bankRecordBytes, filler);
    record.replace(0, name.size(), name);
    if (name.size() < bankNameBytes) record[name.size()] = '\0';
    const auto value = static_cast<uint32_t>(credits);
    for (int i = 0; i < 4; ++i) record[bankNameBytes + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return record;
}

inline std::string bankBytes(const Ledger& records) {
    std::string bytes;
    for (const BankRecord& record : records) bytes += bankRecord(record.name, record.credits);
    return bytes;
}

inline int32_t recordCredits(const char* record) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(record[bankNameBytes + i])} << (8 * i);
    return static_cast<int32_t>(value);
}

// Whole records only: callers that care check the length themselves.
template <class Bytes>
Ledger parseBank(const Bytes& bytes) {
    Ledger records;
    const char* data = reinterpret_cast<const char*>(bytes.data());
    for (size_t at = 0; at + bankRecordBytes <= bytes.size(); at += bankRecordBytes) {
        records.push_back({std::string(data + at, strnlen(data + at, bankNameBytes)), recordCredits(data + at)});
    }
    return records;
}

// The name an account gets: the bytes before the first NUL, at most 19.
inline std::string accountName(std::string_view field) {
    return std::string(field.substr(0, std::min(field.find('\0'), bankNameBytes - 1)));
}

// A ledger as the rules say it must be: accounts in the order they were loaded
// and opened, the first whose name matches (ASCII capitals folded) answering,
// balances saturating at the 32-bit limits. Records keep their bytes as they
// stand, those after a name's terminator included, so that a save can be
// compared byte for byte.
class BankModel {
public:
    using Record = std::array<char, bankRecordBytes>;

    BankModel() = default;
    // Whole records as a bank file holds them; a name without terminator is cut.
    explicit BankModel(std::string_view bytes) {
        for (size_t at = 0; at + bankRecordBytes <= bytes.size(); at += bankRecordBytes) {
            Record& record = records.emplace_back();
            std::memcpy(record.data(), bytes.data() + at, bankRecordBytes);
            record[bankNameBytes - 1] = std::memchr(record.data(), 0, bankNameBytes) ? record[bankNameBytes - 1] : '\0';
        }
    }

    // The model's own storage stays put up to `count` accounts (the soak run
    // measures memory while it grows).
    void reserve(size_t count) { records.reserve(count); }

    void award(int32_t amount, std::string_view player) {
        const std::string name = accountName(player);
        Record* record = find(name);
        if (record == nullptr) {
            record = &records.emplace_back();
            record->fill(0);
            std::memcpy(record->data(), name.data(), name.size());
        }
        const int64_t sum = int64_t{recordCredits(record->data())} + amount;
        const std::string stored = bankRecord("", static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX)));
        std::memcpy(record->data() + bankNameBytes, stored.data() + bankNameBytes, 4);
    }

    int32_t balance(std::string_view player) const {
        const Record* record = const_cast<BankModel*>(this)->find(accountName(player));
        return record != nullptr ? recordCredits(record->data()) : 0;
    }

    size_t size() const { return records.size(); }

    std::string bytes() const {
        std::string result;
        for (const Record& record : records) result.append(record.data(), bankRecordBytes);
        return result;
    }

private:
    // The first record whose name matches, ASCII capitals folded.
    Record* find(std::string_view name) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        auto same = [&](char x, char y) { return fold(x) == fold(y); };
        for (Record& record : records) {
            const std::string_view stored(record.data(), strnlen(record.data(), bankNameBytes));
            if (std::equal(stored.begin(), stored.end(), name.begin(), name.end(), same)) return &record;
        }
        return nullptr;
    }

    std::vector<Record> records;
};

}  // namespace kadrel::testing
