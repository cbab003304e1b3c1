#include "tools/bank/bank_image.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "accounts/bank_file.h"
#include "platform/platform.h"

namespace kadrel::tools {

std::string nameOf(const CreditAccount& record) { return std::string(record.name, strnlen(record.name, bank::nameSize)); }

std::vector<uint8_t> tailOf(const CreditAccount& record) {
    const size_t length = strnlen(record.name, bank::nameSize);
    if (length >= bank::nameSize) return {};
    const auto* bytes = reinterpret_cast<const uint8_t*>(record.name);
    return std::vector<uint8_t>(bytes + length + 1, bytes + bank::nameSize);
}

CreditAccount makeRecord(std::string_view name, int32_t credits, const std::vector<uint8_t>& tail) {
    if (name.size() > bank::longestName || tail.size() > bank::longestName - name.size()) {
        throw std::length_error("an account name and what follows its NUL fill at most " +
                                std::to_string(bank::nameSize) + " bytes");
    }
    CreditAccount record{};
    std::copy(name.begin(), name.end(), record.name);
    std::copy(tail.begin(), tail.end(), record.name + name.size() + 1);
    record.credits = credits;
    return record;
}

std::optional<std::vector<uint8_t>> regularFileBytes(const std::string& path) {
    platform::FileReader reader;
    if (reader.open(path.c_str()) != platform::FileState::Regular) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(reader.size()));
    if (!reader.read(bytes.data(), bytes.size())) return std::nullopt;
    return bytes;
}

// Read as the plug-in reads it. The plug-in loads nothing from a file of a
// damaged length; the whole records are kept here for check --repair.
std::optional<BankImage> BankImage::read(const std::string& path) {
    BankImage image;
    std::vector<uint32_t> cut;
    const BankRead read = readBankFile(path.c_str(), *image.accounts, &cut);
    switch (read.outcome) {
        case BankRead::Outcome::Loaded:
            image.length = static_cast<size_t>(read.length);
            image.unterminated.assign(cut.begin(), cut.end());
            return image;
        case BankRead::Outcome::Damaged:
            if (const std::optional<std::vector<uint8_t>> bytes = regularFileBytes(path)) return fromBytes(*bytes);
            return std::nullopt;
        case BankRead::Outcome::Missing:
        case BankRead::Outcome::NotRegular:
        case BankRead::Outcome::Unreadable:
            break;
    }
    return std::nullopt;
}

BankImage BankImage::fromBytes(const std::vector<uint8_t>& bytes) {
    BankImage image;
    image.length = bytes.size();
    std::vector<uint8_t> whole(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(bytes.size() % bank::recordSize));
    for (size_t offset = 0; offset < whole.size(); offset += bank::recordSize) {
        if (bank::terminateName(whole.data() + offset)) image.unterminated.push_back(offset / bank::recordSize);
    }
    image.accounts->appendLoaded(whole.data(), whole.size() / bank::recordSize);
    return image;
}

BankImage BankImage::fromLedger(std::unique_ptr<Ledger> ledger) {
    BankImage image;
    image.length = ledger->size() * bank::recordSize;
    image.accounts = std::move(ledger);
    return image;
}

std::vector<std::string> BankImage::damage() const {
    std::vector<std::string> problems;
    if (!bank::wholeRecords(length)) {
        problems.push_back(std::to_string(length) + " bytes is not a whole number of " +
                           std::to_string(bank::recordSize) + "-byte records (" +
                           std::to_string(length % bank::recordSize) +
                           " bytes too many): the plug-in loads no account from this file");
    }
    for (const size_t index : unterminated) {
        problems.push_back("record " + std::to_string(index) + ": the name has no NUL within its " +
                           std::to_string(bank::nameSize) + " bytes");
    }
    return problems;
}

void BankImage::repair() {
    unterminated.clear();
    length = size() * bank::recordSize;
}

std::optional<size_t> BankImage::find(std::string_view name) const {
    const int64_t index = accounts->firstIndex(std::string(name).c_str());
    if (index < 0) return std::nullopt;
    return static_cast<size_t>(index);
}

std::optional<size_t> BankImage::shadowedBy(size_t index) const {
    const int64_t first = accounts->firstIndex(record(index).name);
    if (first >= 0 && static_cast<size_t>(first) < index) return static_cast<size_t>(first);
    return std::nullopt;
}

void BankImage::replaceAll(const std::vector<CreditAccount>& records) {
    accounts = std::make_unique<Ledger>();
    accounts->appendLoaded(records.data(), records.size());
    length = records.size() * bank::recordSize;
}

std::vector<uint8_t> BankImage::bytes() const {
    std::vector<uint8_t> contents(size() * bank::recordSize);
    for (size_t index = 0; index < size(); ++index) {
        std::memcpy(contents.data() + index * bank::recordSize, &record(index), bank::recordSize);
    }
    return contents;
}

bool BankImage::write(const std::string& path) const {
    const std::vector<uint8_t> contents = bytes();
    return platform::replaceFile(path.c_str(), contents.data(), contents.size());
}

void reportDamage(const std::string& path, const std::vector<std::string>& problems) {
    std::cerr << path << " is damaged:\n";
    for (const std::string& problem : problems) std::cerr << "  " << problem << '\n';
    std::cerr << "It was left as it is. 'kadrel bank " << path
              << " check --repair' keeps its whole records and sets the damaged file aside.\n";
}

std::optional<BankImage> soundBank(const std::string& path, bool missingIsEmpty) {
    std::optional<BankImage> image = BankImage::read(path);
    if (!image) {
        // The plug-in starts with no accounts when there is no file.
        if (missingIsEmpty && pathIsFree(path.c_str())) return BankImage();
        std::cerr << "kadrel bank: cannot read " << path << '\n';
        return std::nullopt;
    }
    if (!image->loadable()) {
        reportDamage(path, image->damage());
        return std::nullopt;
    }
    return image;
}

}  // namespace kadrel::tools
