// The bank file as kadrel bank holds it: the plug-in's own ledger, loaded from
// the file's bytes by the plug-in's format, so that every name is found by the
// plug-in's look-up (a hash index: list, top, get, set and check take time
// linear in the number of accounts, top n log n for its sort).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/bank_format.h"
#include "accounts/ledger.h"

namespace kadrel::tools {

// Every byte of a regular file; nothing else at the path is read or waited
// on (a FIFO, a device). std::nullopt when there is no such file.
std::optional<std::vector<uint8_t>> regularFileBytes(const std::string& path);

// The bytes before the name's terminator.
std::string nameOf(const CreditAccount& record);
// The bytes after the name's terminator, which the plug-in carries along unread.
std::vector<uint8_t> tailOf(const CreditAccount& record);
// Throws std::length_error when the name and tail do not fit the name's field.
CreditAccount makeRecord(std::string_view name, int32_t credits, const std::vector<uint8_t>& tail = {});

class BankImage {
public:
    // Reads the file; std::nullopt when it cannot be read or is missing.
    static std::optional<BankImage> read(const std::string& path);
    static BankImage fromBytes(const std::vector<uint8_t>& bytes);
    // The accounts of a ledger read as the plug-in reads it.
    static BankImage fromLedger(std::unique_ptr<Ledger> ledger);

    // What the plug-in refuses or changes when it loads the file, one line
    // each; empty for a sound file.
    std::vector<std::string> damage() const;
    // False for a length the plug-in loads nothing from. A name without its
    // terminator it loads cut, and so does every command here but check.
    bool loadable() const { return bank::wholeRecords(length); }

    // Keeps the whole records, every name ended inside its field: the file
    // the plug-in would have loaded.
    void repair();

    const Ledger& records() const { return *accounts; }
    size_t size() const { return accounts->size(); }
    const CreditAccount& record(size_t index) const { return accounts->at(static_cast<uint32_t>(index)); }

    // The record the plug-in finds for a name.
    std::optional<size_t> find(std::string_view name) const;
    // The earlier record that the plug-in finds instead of this one.
    std::optional<size_t> shadowedBy(size_t index) const;

    void setCredits(size_t index, int32_t credits) { accounts->at(static_cast<uint32_t>(index)).credits = credits; }
    void append(const CreditAccount& record) { accounts->appendLoaded(record); }
    void replaceAll(const std::vector<CreditAccount>& records);

    // The records as the file holds them.
    std::vector<uint8_t> bytes() const;

    // Writes the file in one atomic step; false when that fails.
    bool write(const std::string& path) const;

private:
    std::unique_ptr<Ledger> accounts = std::make_unique<Ledger>();
    size_t length = 0;
    std::vector<size_t> unterminated;  // records whose names the load had to cut
};

// Names each problem of a damaged file on the error stream, and the repair.
void reportDamage(const std::string& path, const std::vector<std::string>& problems);

// The file, when it can be read and the plug-in would load it; with
// `missingIsEmpty` no file is an empty bank. Otherwise says why not on the
// error stream.
std::optional<BankImage> soundBank(const std::string& path, bool missingIsEmpty);

}  // namespace kadrel::tools
