// The journal's record coding and the bank hash that ties a journal to its
// bank.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "accounts/journal_format.h"

namespace kadrel {
namespace {

TEST(JournalRecord, HoldsTheChangeWithItsCauseAndNoticesEveryFlippedBit) {
    JournalRecord record = makeJournalRecord(JournalKind::Subtract, -7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                                             {JournalCause::Purchase, "Shield of the long name", 12}, 3, 10);
    sealJournalRecord(record, 42);
    EXPECT_EQ(std::string(record.name), "ABCDEFGHIJKLMNOPQRS") << "cut to 19 characters";
    EXPECT_EQ(std::string(record.party), "Shield of the long ");
    EXPECT_EQ(record.amount, -7);
    EXPECT_EQ(record.before, 3);
    EXPECT_EQ(record.after, 10);
    EXPECT_EQ(record.detail, 12);
    EXPECT_EQ(record.sequence, 42u);
    EXPECT_NEAR(static_cast<double>(record.time), static_cast<double>(std::time(nullptr)), 5);
    EXPECT_EQ(record.kind, static_cast<uint8_t>(JournalKind::Subtract));
    EXPECT_EQ(record.cause, static_cast<uint8_t>(JournalCause::Purchase));
    EXPECT_TRUE(isSoundRecord(record));
    EXPECT_FALSE(isSoundRecord(JournalRecord{})) << "a page of zeros after a power cut must not read as records";
    for (size_t bit = 0; bit < sizeof record * 8; ++bit) {
        JournalRecord damaged = record;
        reinterpret_cast<unsigned char*>(&damaged)[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        EXPECT_FALSE(isSoundRecord(damaged)) << "bit " << bit;
    }
}

// A shared economy's records are sound and understood, move no balance, and
// but for Arrived take no number.
TEST(JournalRecord, ASharedEconomysRecordsMoveNoBalanceAndOnlyArrivedTakesANumber) {
    JournalRecord records[] = {makeLeaseRecord("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 30, 9), makeSharedRecord(3, 9),
                               makeArrivedRecord(2, 9000000000, 9), makeWantedRecord("Bob", 9)};
    std::string fields;
    for (JournalRecord& r : records) {
        sealJournalRecord(r, 42);
        EXPECT_TRUE(isSoundRecord(r) && canApply(r) && !concernsBalance(r) && r.flags == endsTransaction &&
                    r.time == 9 && r.before == 0 && r.after == 0);
        fields += std::to_string(r.kind) + " " + std::to_string(r.sequence) + " " + r.name + " " +
                  std::to_string(r.detail) + " " + std::to_string(r.amount) + ", ";
    }
    EXPECT_EQ(fields, "5 0 ABCDEFGHIJKLMNOPQRS 30 0, 6 0  3 0, 7 42  9000000000 2, 8 0 Bob 0 0, ");
}

// Every cause a record can carry up to the last one this build writes has a
// name of its own, as --cause takes it, and a class.
TEST(CauseTable, EveryCauseHasANameAndAClass) {
    std::vector<std::string> names;
    for (uint32_t number = 0; number <= static_cast<uint32_t>(lastJournalCause); ++number) {
        const CauseEntry* entry = causeEntry(static_cast<uint8_t>(number));
        ASSERT_TRUE(entry != nullptr && entry->name != nullptr && *entry->name != '\0') << number;
        EXPECT_NE(std::string(causeClassName(entry->kind)), "") << number;
        names.emplace_back(entry->name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "two causes share a name";
    EXPECT_EQ(causeEntry(static_cast<uint8_t>(lastJournalCause) + 1), nullptr);
}

TEST(BankHasher, TheSameBytesInAnyPiecesGiveTheSameHashAndOthersAnother) {
    std::vector<unsigned char> bank(24 * 1000);
    for (size_t i = 0; i < bank.size(); ++i) bank[i] = static_cast<unsigned char>(i * 31 + 7);
    auto hash = [&](size_t piece, size_t size) {
        BankHasher hasher;
        for (size_t at = 0; at < size; at += piece) hasher.add(bank.data() + at, std::min(piece, size - at));
        return hasher.result();
    };
    const uint64_t whole = hash(bank.size(), bank.size());
    // Journal headers on disk carry this hash: a build that hashed the same
    // bank differently would take every journal an earlier build left for stale.
    EXPECT_EQ(whole, 0x3384b5149b12720eull);
    for (size_t piece : {size_t{8}, size_t{24}, size_t{40}, size_t{24 * 333}}) {
        EXPECT_EQ(hash(piece, bank.size()), whole) << "pieces of " << piece;
    }
    EXPECT_NE(hash(bank.size(), bank.size() - 24), whole);
    bank[24 * 500 + 20] ^= 1;  // one balance one credit off
    EXPECT_NE(hash(bank.size(), bank.size()), whole);
    EXPECT_NE(BankHasher().result(), 0u) << "0 marks no bank";
}

}  // namespace
}  // namespace kadrel
