// The bank file: a headerless sequence of 24-byte account records, exact
// images of CreditAccount, in ledger order.
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/bot_instance.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

constexpr const char* bankFileName = "Quorlen.bank";
constexpr size_t recordSize = sizeof(CreditAccount);

bool readWholeFile(const char* path, std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    unsigned char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) != 0) bytes.insert(bytes.end(), chunk, chunk + got);
    const bool complete = std::ferror(file) == 0;
    std::fclose(file);
    return complete;
}

}  // namespace

void BotInstance::loadBank() {
    clearAccounts();
    std::vector<unsigned char> bytes;
    if (!readWholeFile(bankFileName, bytes) || bytes.size() % recordSize != 0) return;
    for (size_t offset = 0; offset < bytes.size(); offset += recordSize) {
        CreditAccount account;
        std::memcpy(&account, bytes.data() + offset, recordSize);
        accounts.appendLoaded(account);
    }
}

void BotInstance::saveBank() {
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(accounts.size()) * recordSize);
    for (const CreditAccount& account : accounts) {
        const auto* record = reinterpret_cast<const unsigned char*>(&account);
        bytes.insert(bytes.end(), record, record + recordSize);
    }
    platform::replaceFile(bankFileName, bytes.data(), bytes.size());
}

}  // namespace kadrel
