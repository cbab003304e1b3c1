// The bank file: a headerless sequence of 24-byte account records, exact
// images of CreditAccount, in ledger order.
//
// Several bots of one host share the file. A save therefore reads it first and
// adds this bot's own changes since its last load or save to what the file
// holds now, instead of writing its ledger over the other bots' changes. The
// new file is written beside the old one and renamed over it, so a save that
// stops part-way never leaves a cut file behind.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "accounts/bank_format.h"
#include "host/bot_instance.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

constexpr const char* bankFileName = bank::fileName;
constexpr size_t recordSize = bank::recordSize;

enum class FileRead { Missing, Read, Failed };

FileRead readWholeFile(const char* path, std::vector<unsigned char>& bytes) {
    bytes.clear();
    std::FILE* file = std::fopen(path, "rb");
    // Only a file that is not there may be written anew; one that exists but
    // cannot be opened now (no access, no stream free) is tried again later.
    if (file == nullptr) return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
    bool complete = std::fseek(file, 0, SEEK_END) == 0;
    const long length = complete ? std::ftell(file) : -1;
    complete = length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (complete) {
        bytes.resize(static_cast<size_t>(length));
        complete = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
        // A file that grew meanwhile is read again at the next load or save.
        complete = complete && std::fgetc(file) == EOF && std::ferror(file) == 0;
    }
    std::fclose(file);
    return complete ? FileRead::Read : FileRead::Failed;
}

// A record whose name has no terminator is kept with its name cut to 19
// characters, so that every loaded name ends inside its field.
void terminateNames(std::vector<unsigned char>& bytes) {
    for (size_t offset = 0; offset < bytes.size(); offset += recordSize) bank::terminateName(bytes.data() + offset);
}

void loadRecords(Ledger& ledger, const std::vector<unsigned char>& bytes) {
    ledger.appendLoaded(bytes.data(), bytes.size() / recordSize);
}

void serialise(const Ledger& ledger, std::vector<unsigned char>& bytes) {
    bytes.resize(static_cast<size_t>(ledger.size()) * recordSize);
    for (uint32_t i = 0; i < ledger.size(); ++i) std::memcpy(bytes.data() + i * recordSize, &ledger.at(i), recordSize);
}

// True when the file holds exactly what the ledger remembers of it: the
// accounts of the last load or save, each with the balance it had then.
bool fileUnchanged(const Ledger& ledger, const std::vector<unsigned char>& bytes) {
    if (bytes.size() != static_cast<size_t>(ledger.fileAccounts()) * recordSize) return false;
    for (uint32_t i = 0; i < ledger.fileAccounts(); ++i) {
        const unsigned char* record = bytes.data() + i * recordSize;
        int32_t credits;
        std::memcpy(&credits, record + 20, sizeof credits);
        if (credits != ledger.fileBalance(i) || std::memcmp(record, ledger.at(i).name, 20) != 0) return false;
    }
    return true;
}

int32_t addClamped(int32_t balance, int64_t change) {
    const int64_t sum = balance + change;
    if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(sum);
}

// The file as it is now, with this ledger's changes since its last load or
// save added. Only the first account of each name can have changed (every
// award reaches the first match), and it changes the first matching record of
// the file; later duplicates stay as the file has them. An account the file no
// longer holds (another bot reset all credits) comes back only with this
// bot's own change, and not at all when there is none.
void mergeInto(Ledger& merged, const Ledger& own) {
    for (uint32_t i = 0; i < own.size(); ++i) {
        const CreditAccount& account = own.at(i);
        if (own.find(account.name) != &account) continue;
        const bool remembered = i < own.fileAccounts();
        const int64_t change = static_cast<int64_t>(account.credits) - (remembered ? own.fileBalance(i) : 0);
        if (CreditAccount* target = merged.find(account.name)) {
            target->credits = addClamped(target->credits, change);
        } else if (!remembered || change != 0) {
            CreditAccount added = account;
            added.credits = addClamped(0, change);
            merged.appendLoaded(added);
        }
    }
}

// Moves a bank file that cannot be read aside, under a name not yet taken,
// and tells the host where it went. False when it stays in place.
bool setDamagedBankAside(const BotInstance& instance) {
    for (int32_t attempt = 0; attempt < bank::damagedNameAttempts; ++attempt) {
        const CharString target = bank::damagedName(bankFileName, attempt);
        if (platform::renameNoReplace(bankFileName, target.text())) {
            CharString message(bankFileName);
            message.append(" is damaged; it was moved to ");
            message.append(target);
            instance.echo(message.text());
            return true;
        }
        std::FILE* taken = std::fopen(target.text(), "rb");
        if (taken == nullptr) break;  // the name is free, so the rename itself failed
        std::fclose(taken);
    }
    CharString message(bankFileName);
    message.append(" is damaged and could not be moved aside; it is not saved over");
    instance.echo(message.text());
    return false;
}

}  // namespace

// The file is read into a ledger of its own, which replaces the old one only
// once complete: a load that fails part-way (out of memory) leaves the ledger
// as it was, still matched with what it last loaded or saved, so that the next
// save merges with the file instead of writing a cut ledger over it.
void BotInstance::loadBank() {
    Ledger loaded;
    canGoNegative = readCanGoNegative();
    std::vector<unsigned char> bytes;
    const FileRead read = readWholeFile(bankFileName, bytes);
    if (read == FileRead::Read && !bank::wholeRecords(bytes.size())) {
        setDamagedBankAside(*this);
    } else if (read == FileRead::Read) {
        terminateNames(bytes);
        loadRecords(loaded, bytes);
    }
    std::vector<int32_t> balances = loaded.balances();
    accounts.takeFrom(loaded);
    accounts.markSynchronised(std::move(balances));
}

void BotInstance::saveBank() {
    std::vector<unsigned char> bytes;
    const FileRead read = readWholeFile(bankFileName, bytes);
    if (read == FileRead::Failed) return;  // tried again at the next save
    const bool damaged = read == FileRead::Read && !bank::wholeRecords(bytes.size());
    if (damaged && !setDamagedBankAside(*this)) return;

    // The ledger replaces the file as it is after a reset of all credits, and
    // when there is no file to merge with (deleted, or set aside just now).
    // When nobody else wrote the file, merging would give the ledger itself.
    if (accounts.clearedSinceSync() || read == FileRead::Missing || damaged || fileUnchanged(accounts, bytes)) {
        serialise(accounts, bytes);
        std::vector<int32_t> written = accounts.balances();
        if (!platform::replaceFile(bankFileName, bytes.data(), bytes.size())) return;
        accounts.markSynchronised(std::move(written));
        return;
    }

    terminateNames(bytes);
    Ledger merged;
    loadRecords(merged, bytes);
    mergeInto(merged, accounts);
    serialise(merged, bytes);
    std::vector<int32_t> written = merged.balances();
    if (!platform::replaceFile(bankFileName, bytes.data(), bytes.size())) return;
    accounts.takeFrom(merged);
    accounts.markSynchronised(std::move(written));
}

}  // namespace kadrel
