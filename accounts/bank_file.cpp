#include "accounts/bank_file.h"

#include <vector>

#include "accounts/bank_format.h"
#include "accounts/journal_format.h"
#include "accounts/ledger.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

// The bank is read this many records at a time, straight into the ledger.
constexpr size_t loadRunRecords = 4096;

void terminateNames(unsigned char* bytes, size_t size, uint32_t firstIndex, std::vector<uint32_t>* cutNames) {
    for (size_t offset = 0; offset < size; offset += bank::recordSize) {
        if (bank::terminateName(bytes + offset) && cutNames != nullptr) {
            cutNames->push_back(firstIndex + static_cast<uint32_t>(offset / bank::recordSize));
        }
    }
}

}  // namespace

bool pathIsFree(const char* path) {
    platform::FileReader probe;
    return probe.open(path) == platform::FileState::Missing;
}

BankRead readBankFile(const char* path, Ledger& ledger, std::vector<uint32_t>* cutNames) {
    BankRead read;
    read.hash = BankHasher().result();
    platform::FileReader reader;
    switch (reader.open(path)) {
        case platform::FileState::Missing:
            read.outcome = BankRead::Outcome::Missing;
            return read;
        case platform::FileState::NotRegular:
            read.outcome = BankRead::Outcome::NotRegular;
            return read;
        case platform::FileState::Unreadable:
            read.outcome = BankRead::Outcome::Unreadable;
            return read;
        case platform::FileState::Regular:
            break;
    }
    if (reader.size() % bank::recordSize != 0) {
        read.outcome = BankRead::Outcome::Damaged;
        return read;
    }
    std::vector<unsigned char> run(reader.size() < loadRunRecords * bank::recordSize
                                       ? static_cast<size_t>(reader.size())
                                       : loadRunRecords * bank::recordSize);
    BankHasher hasher;
    for (uint64_t left = reader.size(); left != 0;) {
        const size_t piece = left < run.size() ? static_cast<size_t>(left) : run.size();
        if (!reader.read(run.data(), piece)) {
            read.outcome = BankRead::Outcome::Unreadable;
            return read;
        }
        hasher.add(run.data(), piece);
        terminateNames(run.data(), piece, ledger.size(), cutNames);
        ledger.appendUnindexed(run.data(), piece / bank::recordSize);
        left -= piece;
    }
    ledger.indexLoaded();
    read.length = reader.size();
    read.hash = hasher.result();
    return read;
}

CharString placeAtDamagedName(const char* path, const std::function<bool(const char* name)>& place) {
    for (int32_t attempt = 0; attempt < bank::damagedNameAttempts; ++attempt) {
        CharString target = bank::damagedName(path, attempt);
        if (place(target.text())) return target;
        if (pathIsFree(target.text())) break;
    }
    return CharString();
}

bool setDamagedBankAside(BankReporter& reporter, CharString& target) {
    target = placeAtDamagedName(bank::fileName,
                                [](const char* name) { return platform::renameNoReplace(bank::fileName, name); });
    if (!target.empty()) return true;
    reporter.report(KADREL_BANK_FILE " is damaged and could not be moved aside; it is not saved over");
    return false;
}

}  // namespace kadrel
