// The journal's record coding and the bank hash that ties a journal to its
// bank.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "accounts/journal_format.h"

namespace kadrel {
namespace {

TEST(JournalRecord, HoldsTheNameAsAnAccountStoresIt) {
    const JournalRecord record = makeJournalRecord(JournalKind::Add, -7, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(std::string(record.name), "ABCDEFGHIJKLMNOPQRS") << "cut to 19 characters";
    EXPECT_EQ(record.amount, -7);
    EXPECT_EQ(record.kind, static_cast<uint8_t>(JournalKind::Add));
    EXPECT_TRUE(isSoundRecord(record));
    const JournalRecord reset = makeJournalRecord(JournalKind::Reset, 0, "");
    EXPECT_TRUE(isSoundRecord(reset));
}

TEST(JournalRecord, EveryFlippedBitIsNoticed) {
    const JournalRecord sound = makeJournalRecord(JournalKind::Subtract, 123456, "Pilot7");
    for (size_t bit = 0; bit < sizeof sound * 8; ++bit) {
        JournalRecord damaged = sound;
        auto* bytes = reinterpret_cast<unsigned char*>(&damaged);
        bytes[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        EXPECT_FALSE(isSoundRecord(damaged)) << "bit " << bit;
    }
}

TEST(JournalRecord, ZerosAreNoRecord) {
    JournalRecord zeros{};
    EXPECT_FALSE(isSoundRecord(zeros)) << "a page of zeros after a power cut must not read as records";
}

TEST(BankHasher, TheSameBytesInAnyPiecesGiveTheSameHash) {
    std::vector<unsigned char> bank(24 * 1000);
    for (size_t i = 0; i < bank.size(); ++i) bank[i] = static_cast<unsigned char>(i * 31 + 7);
    BankHasher whole;
    whole.add(bank.data(), bank.size());
    for (size_t piece : {size_t{8}, size_t{24}, size_t{40}, size_t{24 * 333}}) {
        BankHasher pieces;
        for (size_t at = 0; at < bank.size(); at += piece) {
            pieces.add(bank.data() + at, at + piece <= bank.size() ? piece : bank.size() - at);
        }
        EXPECT_EQ(pieces.result(), whole.result()) << "pieces of " << piece;
    }
}

TEST(BankHasher, TellsBanksApart) {
    std::vector<unsigned char> bank(24 * 100, 0);
    BankHasher first;
    first.add(bank.data(), bank.size());
    bank[24 * 50 + 20] = 1;  // one balance one credit higher
    BankHasher second;
    second.add(bank.data(), bank.size());
    EXPECT_NE(first.result(), second.result());
    BankHasher shorter;
    shorter.add(bank.data(), bank.size() - 24);
    EXPECT_NE(shorter.result(), second.result());
    EXPECT_NE(BankHasher().result(), 0u) << "0 marks no bank";
}

}  // namespace
}  // namespace kadrel
