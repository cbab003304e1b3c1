// The ledger: saturating awards, the matching of names, and the index that
// must find exactly what a walk from the head would find.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "accounts/ledger.h"
#include "core/text.h"

namespace kadrel {
namespace {

// Saturation is core arithmetic's rule (arithmetic_test); the ledger passes it on.
TEST(Ledger, BalancesStopAtThe32BitLimits) {
    Ledger ledger;
    ledger.award(INT_MAX, "Bob");
    ledger.award(1, "bob");
    ledger.deduct(INT_MAX, "Amy");
    ledger.deduct(2, "AMY");
    EXPECT_EQ(ledger.find("BOB")->credits, INT_MAX);
    EXPECT_EQ(ledger.find("amy")->credits, INT_MIN);
    EXPECT_EQ(ledger.size(), 2u);
}

TEST(Ledger, NamesMatchWithOnlyTheAsciiCapitalsFoldedAndCutTo19) {
    const std::string longName(30, 'L');
    const struct {
        std::string first, second;
        bool same;
    } cases[] = {
        {"Bob", "bOB", true}, {"Bob", "Bobby", false}, {"Bob", "Bob ", false}, {"AZaz", "azAZ", true},
        {"@", "`", false}, {"[", "{", false}, {"Z", "z", true}, {"\xC9t\xC9", "\xE9t\xE9", false},
        {"\xC1", "\xE1", false}, {"\x7F", "\x5F", false}, {"abcdefgh", "abcdefghi", false},
        {"abcdefghijklmnop", "abcdefghijklmnopq", false}, {"ABCDEFGHIJKLMNOPQRS", "abcdefghijklmnopqrs", true},
        {"ABCDEFGHIJKLMNOPQRS", "abcdefghijklmnopqr", false}, {"ABCDEFGHIJKLMNOPQRST", "abcdefghijklmnopqrsXYZ", true},
        {longName, std::string(19, 'l'), true}, {longName, std::string(18, 'L'), false}};
    for (const auto& [first, second, same] : cases) {
        Ledger ledger;
        ledger.award(5, first.c_str());
        ledger.award(3, second.c_str());
        EXPECT_EQ(ledger.size(), same ? 1u : 2u) << first << " / " << second;
        EXPECT_EQ(ledger.find(first.c_str())->credits, same ? 8 : 5) << first << " / " << second;
        // The index compares keys only when their tags agree: the key's own
        // equality is checked here, tags or no tags.
        EXPECT_EQ(nameKeyOfText(first.c_str()) == nameKeyOfText(second.c_str()), same) << first << " / " << second;
    }
}

TEST(Ledger, AnAccountIsOpenedUnderTheCutNameAndClearingForgetsAll) {
    Ledger ledger;
    EXPECT_EQ(ledger.find("Ann"), nullptr);
    ledger.award(0, std::string(30, 'L').c_str());
    ASSERT_EQ(ledger.size(), 1u);
    EXPECT_STREQ(ledger.at(0).name, std::string(19, 'L').c_str());
    EXPECT_EQ(ledger.at(0).credits, 0);
    ledger.clear();
    EXPECT_EQ(ledger.size(), 0u);
    EXPECT_EQ(ledger.find(std::string(19, 'L').c_str()), nullptr);
    ledger.award(2, "Ann");
    EXPECT_EQ(ledger.find("ann")->credits, 2);
}

// A walk from the head: what every look-up must agree with, loaded duplicates
// included (the first answers).
const CreditAccount* walk(const Ledger& ledger, const std::string& name) {
    const std::string cut = name.substr(0, 19);
    for (const CreditAccount& account : ledger) {
        if (equalsNoCase(account.name, cut.c_str())) return &account;
    }
    return nullptr;
}

// A record as a bank file holds it; the bytes after the terminator are noise.
CreditAccount loadedRecord(const std::string& name, int32_t credits) {
    CreditAccount record;
    std::memset(&record, 0x5A, sizeof record);
    const size_t length = std::min<size_t>(name.size(), 19);
    std::memcpy(record.name, name.data(), length);
    record.name[length] = '\0';
    record.credits = credits;
    return record;
}

// Banks of every size loaded at once (many names loaded twice), then single
// loads, awards and a further bulk load on top: every look-up agrees with a
// walk and no account ever moves.
TEST(Ledger, EveryLookUpAgreesWithAWalkFromTheHead) {
    std::mt19937 random(1234);
    auto randomName = [&](const std::string& alphabet, size_t longest) {
        std::string name(1 + random() % longest, ' ');
        for (char& byte : name) byte = alphabet[random() % alphabet.size()];
        return name;
    };
    for (uint32_t size : {1u, 31u, 33u, 5000u, 12000u}) {
        std::vector<std::string> names;
        std::vector<CreditAccount> bank;
        for (uint32_t i = 0; i < size; ++i) {
            names.push_back(randomName("aAbB_\xC1", 5));
            bank.push_back(loadedRecord(names.back(), static_cast<int32_t>(i)));
        }
        Ledger ledger;
        ledger.appendLoaded(bank.data(), bank.size());
        ASSERT_EQ(ledger.size(), size);
        const CreditAccount* first = &ledger.at(0);
        for (int i = 0; i < 2000; ++i) {
            names.push_back(randomName("aAbBcC_[{@`\xC1\xE1", 21));
            if (i % 3 == 0) {
                ledger.appendLoaded(loadedRecord(names.back(), i));
            } else if (i % 100 == 1) {
                const CreditAccount more[] = {loadedRecord(names.back(), i), loadedRecord(names[i], i)};
                ledger.appendLoaded(more, 2);
            } else {
                ledger.award(1, names.back().c_str());
            }
        }
        for (int i = 0; i < 500; ++i) names.push_back(randomName("aAbBcC_[{@`\xC1\xE1", 21));
        for (const std::string& name : names) {
            ASSERT_EQ(ledger.find(name.c_str()), walk(ledger, name)) << size << " " << name;
        }
        // A batch of look-ups, of a length that is no multiple of the batch.
        std::vector<NameKey> keys;
        for (const std::string& name : names) keys.push_back(nameKeyOfText(name.c_str()));
        keys.resize(keys.size() - 5);
        std::vector<int64_t> positions(keys.size());
        ledger.firstIndices(keys, positions);
        for (size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(positions[i], ledger.firstIndex(keys[i])) << names[i];
        EXPECT_EQ(&ledger.at(0), first) << "accounts never move";
    }
}

// Small banks loaded at once, each filling its index to the half, many of
// them: some probe runs wrap round the table's end, and a name loaded twice
// must leave the later record unfound.
TEST(Ledger, SmallBanksLoadedAtOnceAgreeWithAWalk) {
    std::mt19937 random(4321);
    for (int bank = 0; bank < 400; ++bank) {
        std::vector<std::string> names;
        std::vector<CreditAccount> records;
        for (int32_t i = 0; i < 32; ++i) {
            names.push_back("W" + std::to_string(random() % 48));
            records.push_back(loadedRecord(names.back(), i));
        }
        Ledger ledger;
        ledger.appendLoaded(records.data(), records.size());
        for (const std::string& name : names) ASSERT_EQ(ledger.find(name.c_str()), walk(ledger, name)) << name;
        ledger.award(1, "fresh");
        ASSERT_EQ(ledger.find("fresh"), &ledger.at(32));
    }
}

}  // namespace
}  // namespace kadrel
