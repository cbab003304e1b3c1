// The bytes of the bank's journal: a fixed header naming the bank it applies
// to, then fixed-size records of balance changes, each with its own checksum.
// What each field means to a reader, and what a crash leaves, is told once in
// accounts/README.md.
#pragma once

#include <cstddef>
#include <cstdint>

#include "accounts/credit_account.h"

namespace kadrel {

constexpr const char journalMagic[8] = {'K', 'D', 'R', 'L', 'J', 'R', 'N', '1'};

struct JournalHeader {
    char magic[8];
    uint64_t generation;
    uint64_t bankLength;
    uint64_t bankHash;
    uint64_t pendingLength;
    uint64_t pendingHash;       // 0 when no checkpoint is under way
    uint64_t foldedGeneration;  // the generation whose records the bank now holds
    uint64_t foldedLength;      // how much of that generation's journal it holds
};

static_assert(sizeof(JournalHeader) == 64);

enum class JournalKind : uint8_t { Add = 1, Subtract = 2, Reset = 3 };

struct JournalRecord {
    uint8_t kind;
    uint8_t zero[3];
    char name[20];
    int32_t amount;
    uint32_t check;
};

static_assert(sizeof(JournalRecord) == 32);

constexpr uint64_t journalHeaderSize = sizeof(JournalHeader);
constexpr uint64_t journalRecordSize = sizeof(JournalRecord);

// A record of one change; the name is stored as an account would store it:
// cut to 19 characters, the rest of the field zero.
JournalRecord makeJournalRecord(JournalKind kind, int32_t amount, const char* name);

// True when the record's checksum, kind and padding are sound.
bool isSoundRecord(const JournalRecord& record);

bool isSoundHeader(const JournalHeader& header);

// A 64-bit hash of the bank's bytes, fed in pieces whose lengths are
// multiples of 8 (the records are 24 bytes long). Four independent lanes keep
// it near the speed of reading the bytes. Never 0, which marks "no bank".
class BankHasher {
public:
    void add(const void* bytes, size_t size);
    uint64_t result() const;

private:
    uint64_t lanes[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull};
    uint64_t words = 0;
};

}  // namespace kadrel
