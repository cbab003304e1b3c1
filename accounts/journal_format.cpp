#include "accounts/journal_format.h"

#include <cstring>
#include <ctime>

#include "accounts/name_key.h"

namespace kadrel {

namespace {

constexpr uint64_t laneFactor = 0x9E3779B97F4A7C15ull;

uint64_t rotate(uint64_t value, int bits) { return (value << bits) | (value >> (64 - bits)); }

uint64_t mix(uint64_t value) {
    value ^= value >> 33;
    value *= 0xFF51AFD7ED558CCDull;
    value ^= value >> 33;
    value *= 0xC4CEB9FE1A85EC53ull;
    return value ^ (value >> 33);
}

// Version 1: FNV-1a over the bytes before the checksum.
uint32_t checksumOf(const OldJournalRecord& record) {
    unsigned char bytes[sizeof record - sizeof record.check];
    std::memcpy(bytes, &record, sizeof bytes);
    uint32_t hash = 2166136261u;
    for (unsigned char byte : bytes) hash = (hash ^ byte) * 16777619u;
    return hash;
}

bool allZero(const void* bytes, size_t size) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i) {
        if (next[i] != 0) return false;
    }
    return true;
}

// Version 2: the 84 bytes before the checksum as ten little-endian 64-bit
// words and a 32-bit one, each taken in by a step that is one to one in it,
// so that any change of one word changes the result.
constexpr size_t checkedWords = sizeof(JournalRecord) / 8;
constexpr uint64_t checksumStart = 0x243F6A8885A308D3ull;

// The record's word `at`; the last one without the checksum's own bytes.
uint64_t checkedWord(const JournalRecord& record, size_t at) {
    static_assert(sizeof record - sizeof record.check == 84 && sizeof record % 8 == 0);
    uint64_t word;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(&record) + at * 8, 8);
    return at + 1 == checkedWords ? word & 0xFFFFFFFFull : word;
}

uint64_t takeIn(uint64_t hash, uint64_t word) { return rotate((hash ^ word) * laneFactor, 29); }

uint32_t finished(uint64_t hash) {
    hash = mix(hash);
    return static_cast<uint32_t>(hash ^ (hash >> 32));
}

uint32_t checksumOf(const JournalRecord& record) {
    uint64_t hash = checksumStart;
    for (size_t at = 0; at < checkedWords; ++at) hash = takeIn(hash, checkedWord(record, at));
    return finished(hash);
}

// Everything but the checksum: the structure, whatever the kind and cause.
bool fieldsSound(const JournalRecord& record) {
    return (record.flags & ~endsTransaction) == 0 && allZero(record.zero, sizeof record.zero) &&
           record.name[longestName] == '\0' && record.party[longestName] == '\0';
}

void copyName(char (&field)[20], const char* name) {
    for (uint32_t i = 0; i < longestName && name[i] != '\0'; ++i) field[i] = name[i];
}

}  // namespace

JournalRecord makeJournalRecord(JournalKind kind, int32_t amount, const char* name, const ChangeCause& why,
                                int32_t before, int32_t after) {
    JournalRecord record{};
    record.kind = static_cast<uint8_t>(kind);
    record.cause = static_cast<uint8_t>(why.cause);
    record.time = static_cast<int64_t>(std::time(nullptr));
    record.detail = why.detail;
    copyName(record.name, name);
    copyName(record.party, why.party);
    record.amount = amount;
    record.before = before;
    record.after = after;
    record.check = checksumOf(record);
    return record;
}

bool takesNumber(const JournalRecord& record) {
    return record.kind != static_cast<uint8_t>(JournalKind::Lease) &&
           record.kind != static_cast<uint8_t>(JournalKind::Shared) &&
           record.kind != static_cast<uint8_t>(JournalKind::Wanted);
}

bool concernsBalance(const JournalRecord& record) {
    return record.kind >= static_cast<uint8_t>(JournalKind::Add) &&
           record.kind <= static_cast<uint8_t>(JournalKind::Cleared);
}

void sealJournalRecord(JournalRecord& record, uint64_t sequence) {
    record.sequence = takesNumber(record) ? sequence : 0;
    record.check = checksumOf(record);
}

namespace {

JournalRecord standingRecord(JournalKind kind, const char* name, int64_t detail, int64_t time) {
    JournalRecord record{};
    record.kind = static_cast<uint8_t>(kind);
    record.flags = endsTransaction;
    record.time = time;
    record.detail = detail;
    copyName(record.name, name);
    record.check = checksumOf(record);
    return record;
}

}  // namespace

JournalRecord makeLeaseRecord(const char* name, int64_t ends, int64_t time) {
    return standingRecord(JournalKind::Lease, name, ends, time);
}

JournalRecord makeSharedRecord(int64_t origin, int64_t time) {
    return standingRecord(JournalKind::Shared, "", origin, time);
}

// The origin travels in the amount, a 32-bit field: origins are numbered
// from 1 by the economy's database and never come near its limit.
JournalRecord makeArrivedRecord(int64_t origin, int64_t position, int64_t time) {
    JournalRecord record = standingRecord(JournalKind::Arrived, "", position, time);
    record.amount = static_cast<int32_t>(origin);
    record.check = checksumOf(record);
    return record;
}

JournalRecord makeWantedRecord(const char* name, int64_t time) {
    return standingRecord(JournalKind::Wanted, name, 0, time);
}

bool canApply(const JournalRecord& record) {
    return record.kind >= static_cast<uint8_t>(JournalKind::Add) && record.kind <= static_cast<uint8_t>(lastJournalKind);
}

bool isSoundRecord(const JournalRecord& record) { return fieldsSound(record) && record.check == checksumOf(record); }

size_t soundRecords(const JournalRecord* records, size_t count) {
    // Four checksums side by side: their chains do not wait on one another,
    // so that a reader of the history keeps near the speed of the disk.
    constexpr size_t side = 4;
    size_t first = 0;
    for (; first + side <= count; first += side) {
        uint64_t hash[side] = {checksumStart, checksumStart, checksumStart, checksumStart};
        for (size_t at = 0; at < checkedWords; ++at) {
            for (size_t i = 0; i < side; ++i) hash[i] = takeIn(hash[i], checkedWord(records[first + i], at));
        }
        for (size_t i = 0; i < side; ++i) {
            if (!fieldsSound(records[first + i]) || records[first + i].check != finished(hash[i])) return first + i;
        }
    }
    for (; first < count; ++first) {
        if (!isSoundRecord(records[first])) return first;
    }
    return count;
}

bool readOldRecord(const void* bytes, JournalRecord& record) {
    OldJournalRecord old;
    std::memcpy(&old, bytes, sizeof old);
    const bool sound = old.kind >= static_cast<uint8_t>(JournalKind::Add) &&
                       old.kind <= static_cast<uint8_t>(JournalKind::Reset) && allZero(old.zero, sizeof old.zero) &&
                       old.name[longestName] == '\0' && old.check == checksumOf(old);
    if (!sound) return false;
    record = JournalRecord{};
    record.kind = old.kind;
    record.flags = endsTransaction;
    std::memcpy(record.name, old.name, sizeof record.name);
    record.amount = old.amount;
    return true;
}

bool soundLayout(const JournalHeader& header, uint64_t size, JournalLayout& layout) {
    if (std::memcmp(header.magic, journalMagic, sizeof journalMagic) == 0) {
        layout = currentLayout;
    } else if (std::memcmp(header.magic, oldJournalMagic, sizeof oldJournalMagic) == 0) {
        layout = oldLayout;
    } else {
        return false;
    }
    return size >= layout.headerSize;
}

// The table in the order of the numbers, one entry each, so that a number
// finds its entry directly.
constexpr bool tableInOrder() {
    for (size_t i = 0; i < std::size(causeTable); ++i) {
        if (static_cast<size_t>(causeTable[i].cause) != i) return false;
    }
    return std::size(causeTable) == static_cast<size_t>(lastJournalCause) + 1;
}
static_assert(tableInOrder());

const char* causeClassName(CauseClass kind) {
    switch (kind) {
        case CauseClass::Game:
            return "game";
        case CauseClass::Operator:
            return "operator";
        case CauseClass::BankTool:
            return "bank tool";
    }
    return "game";
}

bool isNewerJournal(const JournalHeader& header) {
    const char version = header.magic[sizeof journalMagic - 1];
    return std::memcmp(header.magic, journalMagic, sizeof journalMagic - 1) == 0 &&
           version > journalMagic[sizeof journalMagic - 1] && version <= '9';
}

void BankHasher::add(const void* bytes, size_t size) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    const size_t count = size / 8;
    size_t i = 0;
    // Single words until the lanes line up, then rounds of four.
    while (i < count && (words + i) % 4 != 0) {
        uint64_t word;
        std::memcpy(&word, next + i * 8, 8);
        uint64_t& lane = lanes[(words + i) % 4];
        lane = rotate((lane ^ word) * laneFactor, 29);
        ++i;
    }
    for (; i + 4 <= count; i += 4) {
        uint64_t word[4];
        std::memcpy(word, next + i * 8, 32);
        for (int lane = 0; lane < 4; ++lane) lanes[lane] = rotate((lanes[lane] ^ word[lane]) * laneFactor, 29);
    }
    for (; i < count; ++i) {
        uint64_t word;
        std::memcpy(&word, next + i * 8, 8);
        uint64_t& lane = lanes[(words + i) % 4];
        lane = rotate((lane ^ word) * laneFactor, 29);
    }
    words += count;
}

uint64_t BankHasher::result() const {
    const uint64_t hash = mix(lanes[0] ^ mix(lanes[1] ^ mix(lanes[2] ^ mix(lanes[3] ^ words))));
    return hash != 0 ? hash : 1;
}

}  // namespace kadrel
