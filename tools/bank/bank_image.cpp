#include "tools/bank/bank_image.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/text.h"
#include "platform/platform.h"
#include "tools/whole_file.h"

namespace kadrel::tools {

namespace {

size_t nameLength(const std::array<uint8_t, bankNameSize>& bytes) {
    return static_cast<size_t>(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin());
}

int32_t littleEndian(const uint8_t* bytes) {
    const uint32_t value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                           uint32_t{bytes[3]} << 24;
    return static_cast<int32_t>(value);
}

}  // namespace

std::string BankRecord::name() const {
    return std::string(reinterpret_cast<const char*>(nameBytes.data()), nameLength(nameBytes));
}

bool BankRecord::terminated() const { return nameLength(nameBytes) < bankNameSize; }

std::vector<uint8_t> BankRecord::tail() const {
    const size_t length = nameLength(nameBytes);
    if (length >= bankNameSize) return {};
    return std::vector<uint8_t>(nameBytes.begin() + static_cast<std::ptrdiff_t>(length) + 1, nameBytes.end());
}

BankRecord BankRecord::make(std::string_view name, int32_t credits, const std::vector<uint8_t>& tail) {
    if (name.size() > longestAccountName || tail.size() > longestAccountName - name.size()) {
        throw std::length_error("an account name and what follows its NUL fill at most 20 bytes");
    }
    BankRecord record;
    std::copy(name.begin(), name.end(), record.nameBytes.begin());
    std::copy(tail.begin(), tail.end(), record.nameBytes.begin() + static_cast<std::ptrdiff_t>(name.size()) + 1);
    record.credits = credits;
    return record;
}

std::optional<BankImage> BankImage::read(const std::string& path) {
    const std::optional<std::string> contents = readWholeFile(path);
    if (!contents) return std::nullopt;
    return fromBytes(std::vector<uint8_t>(contents->begin(), contents->end()));
}

BankImage BankImage::fromBytes(const std::vector<uint8_t>& bytes) {
    BankImage image;
    image.length = bytes.size();
    for (size_t offset = 0; offset + bankRecordSize <= bytes.size(); offset += bankRecordSize) {
        BankRecord record;
        std::memcpy(record.nameBytes.data(), bytes.data() + offset, bankNameSize);
        record.credits = littleEndian(bytes.data() + offset + bankNameSize);
        image.accounts.push_back(record);
    }
    return image;
}

std::vector<std::string> BankImage::damage() const {
    std::vector<std::string> problems;
    if (length % bankRecordSize != 0) {
        problems.push_back(std::to_string(length) + " bytes is not a whole number of 24-byte records (" +
                           std::to_string(length % bankRecordSize) +
                           " bytes too many): the plug-in loads no account from this file");
    }
    for (size_t index = 0; index < accounts.size(); ++index) {
        if (!accounts[index].terminated()) {
            problems.push_back("record " + std::to_string(index) + ": the name has no NUL within its 20 bytes");
        }
    }
    return problems;
}

BankImage BankImage::repaired() const {
    BankImage image = *this;
    for (BankRecord& record : image.accounts) {
        if (!record.terminated()) record.nameBytes.back() = 0;
    }
    image.length = image.accounts.size() * bankRecordSize;
    return image;
}

std::optional<size_t> BankImage::find(std::string_view name) const {
    const std::string wanted(name);
    for (size_t index = 0; index < accounts.size(); ++index) {
        if (equalsNoCase(accounts[index].name().c_str(), wanted.c_str())) return index;
    }
    return std::nullopt;
}

std::optional<size_t> BankImage::shadowedBy(size_t index) const {
    const std::optional<size_t> first = find(accounts[index].name());
    if (first && *first < index) return first;
    return std::nullopt;
}

void BankImage::append(const BankRecord& record) {
    accounts.push_back(record);
    length = accounts.size() * bankRecordSize;
}

void BankImage::replaceAll(std::vector<BankRecord> records) {
    accounts = std::move(records);
    length = accounts.size() * bankRecordSize;
}

std::vector<uint8_t> BankImage::bytes() const {
    std::vector<uint8_t> result;
    result.reserve(accounts.size() * bankRecordSize);
    for (const BankRecord& record : accounts) {
        result.insert(result.end(), record.nameBytes.begin(), record.nameBytes.end());
        const auto value = static_cast<uint32_t>(record.credits);
        for (int shift = 0; shift < 32; shift += 8) result.push_back(static_cast<uint8_t>(value >> shift));
    }
    return result;
}

bool BankImage::write(const std::string& path) const {
    const std::vector<uint8_t> contents = bytes();
    return platform::replaceFile(path.c_str(), contents.data(), contents.size());
}

}  // namespace kadrel::tools
