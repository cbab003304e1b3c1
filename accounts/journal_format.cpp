#include "accounts/journal_format.h"

#include <cstring>

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

// FNV-1a over the 28 bytes before the checksum.
uint32_t checksumOf(const JournalRecord& record) {
    unsigned char bytes[28];
    std::memcpy(bytes, &record, sizeof bytes);
    uint32_t hash = 2166136261u;
    for (unsigned char byte : bytes) hash = (hash ^ byte) * 16777619u;
    return hash;
}

}  // namespace

JournalRecord makeJournalRecord(JournalKind kind, int32_t amount, const char* name) {
    JournalRecord record{};
    record.kind = static_cast<uint8_t>(kind);
    for (uint32_t i = 0; i < longestName && name[i] != '\0'; ++i) record.name[i] = name[i];
    record.amount = amount;
    record.check = checksumOf(record);
    return record;
}

bool isSoundRecord(const JournalRecord& record) {
    const bool knownKind = record.kind >= static_cast<uint8_t>(JournalKind::Add) &&
                           record.kind <= static_cast<uint8_t>(JournalKind::Reset);
    return knownKind && record.zero[0] == 0 && record.zero[1] == 0 && record.zero[2] == 0 &&
           record.name[longestName] == '\0' && record.check == checksumOf(record);
}

bool isSoundHeader(const JournalHeader& header) {
    return std::memcmp(header.magic, journalMagic, sizeof journalMagic) == 0;
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
