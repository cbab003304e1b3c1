// The bank file through talk: loaded at init, written at term, byte for byte,
// a damaged file set aside instead of overwritten.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bank_model.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

using Ledger = std::vector<BankRecord>;
using Texts = std::vector<std::string>;

class BankFile : public ::testing::Test {
protected:
    std::string savedBytes() {
        host.term(1);
        const std::vector<uint8_t> bytes = scratch.readBytes(bankFileName());
        return std::string(bytes.begin(), bytes.end());
    }
    Ledger savedLedger() {
        host.term(1);
        return parseBank(scratch.readBytes(bankFileName()));
    }

    ScratchDir scratch;
    TestHost host;
};

TEST_F(BankFile, RoundTripKeepsEveryByte) {
    // Bytes after the terminator, matching names and extreme balances all
    // come back as they were.
    const std::string bytes = bankRecord("Bob", 1000, '\x7E') + bankRecord("BOB", -5, '\xFF') +
                              bankRecord("", 0, 'z') + bankRecord(std::string(19, 'N'), INT32_MIN) +
                              bankRecord("\xE9t\xE9", INT32_MAX, '\x01');
    scratch.write(bankFileName(), bytes);
    host.init(1);
    EXPECT_EQ(savedBytes(), bytes);
    EXPECT_EQ(savedBytes(), bytes) << "a second save writes the same";
}

TEST_F(BankFile, LoadsInFileOrderAndAppendsNewAccountsAfterThem) {
    scratch.write(bankFileName(), bankBytes({{"Zed", 3}, {"Amy", 4}}));
    scratch.write("credits.ini", "[Credits]\nAnyPrize=2\n");
    host.init(1);
    host.prize(1, PlayerRecord("Bea"), 1);
    host.prize(1, PlayerRecord("amy"), 1);
    EXPECT_EQ(savedLedger(), (Ledger{{"Zed", 3}, {"Amy", 6}, {"Bea", 2}}));
}

TEST_F(BankFile, EmptyAndMissingFilesGiveAnEmptyLedger) {
    scratch.write(bankFileName(), "");
    host.init(1);
    EXPECT_EQ(savedBytes(), "");
    std::filesystem::remove(scratch.path() / bankFileName());
    host.init(1);
    EXPECT_EQ(savedBytes(), "") << "the save creates the file";
}

TEST_F(BankFile, ANewInitKeepsWhatWasNotSavedYet) {
    // The journal holds every change since the last save.
    scratch.write(bankFileName(), bankBytes({{"Amy", 4}}));
    scratch.write("credits.ini", "[Credits]\nAnyPrize=2\n");
    host.init(1);
    host.prize(1, PlayerRecord("Amy"), 1);
    host.init(1);
    EXPECT_EQ(savedLedger(), (Ledger{{"Amy", 6}}));
}

TEST_F(BankFile, ANameWithoutTerminatorIsCutTo19) {
    std::string record = std::string(20, 'X') + std::string("\x07\x00\x00\x00", 4);
    scratch.write(bankFileName(), record + bankRecord("Amy", 1));
    scratch.write("credits.ini", "[Credits]\nAnyPrize=2\n");
    host.init(1);
    host.prize(1, PlayerRecord(std::string(19, 'x')), 1);
    record[19] = '\0';
    record[20] = 9;
    EXPECT_EQ(savedBytes(), record + bankRecord("Amy", 1));
}

TEST_F(BankFile, ADamagedFileIsSetAsideAndReported) {
    const std::string damaged = bankBytes({{"Amy", 4}, {"Bob", 5}}) + "xy";
    scratch.write(bankFileName(), damaged);
    scratch.write("credits.ini", "[Credits]\nAnyPrize=2\n");
    host.init(1);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin connected.", "Loading data...",
                                   "Quorlen.bank is damaged; it was moved to Quorlen.bank.damaged", "Data loaded"}));
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged"), damaged);
    host.prize(1, PlayerRecord("Cid"), 1);
    EXPECT_EQ(savedLedger(), (Ledger{{"Cid", 2}}));
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged"), damaged) << "never overwritten";

    // A second damaged file takes the next free name.
    scratch.write(bankFileName(), "1234567");
    scratch.write("Quorlen.bank.damaged.1", "taken");
    host.clearRequests();
    host.init(1);
    EXPECT_EQ(host.texts()[2], "Quorlen.bank is damaged; it was moved to Quorlen.bank.damaged.2");
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged.2"), "1234567");
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged.1"), "taken");
    EXPECT_FALSE(scratch.exists(bankFileName()));
}

TEST_F(BankFile, AFileDamagedWhileRunningIsSetAsideBeforeTheSave) {
    scratch.write(bankFileName(), bankBytes({{"Amy", 4}}));
    host.init(1);
    scratch.write(bankFileName(), "broken");
    host.clearRequests();
    EXPECT_EQ(savedLedger(), (Ledger{{"Amy", 4}})) << "the bot's own ledger is written";
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin disconnected.",
                                   "Quorlen.bank is damaged; it was moved to Quorlen.bank.damaged"}));
    EXPECT_EQ(scratch.read("Quorlen.bank.damaged"), "broken");
}

TEST_F(BankFile, ASaveLeavesNoTemporaryFileBehind) {
    scratch.write(bankFileName(), bankBytes({{"Amy", 4}}));
    host.init(1);
    host.term(1);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{bankFileName(), "Quorlen.bank.journal"}));
}

#if !defined(_WIN32)
TEST_F(BankFile, AFileThatCannotBeOpenedIsNeitherReadAsEmptyNorSavedOver) {
    // A link to itself exists but never opens, as a file the host may not
    // read (or has no stream left for) would not.
    std::filesystem::create_symlink(bankFileName(), scratch.path() / bankFileName());
    scratch.write("credits.ini", "[Credits]\nAnyPrize=5\n");
    host.init(1);
    host.prize(1, PlayerRecord("Bob"), 3);
    host.term(1);
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path() / bankFileName())) << "saved over";

    std::filesystem::remove(scratch.path() / bankFileName());
    scratch.write(bankFileName(), bankBytes({{"Amy", 9}, {"Bob", 1}}));
    EXPECT_EQ(savedLedger(), (Ledger{{"Amy", 9}, {"Bob", 6}})) << "merged once the file opens";
}
#endif

struct NegativeCase {
    std::string value;
    bool expected;
};

class CanGoNegative : public ::testing::TestWithParam<NegativeCase> {};

TEST_P(CanGoNegative, IsReadWithTheBankFromTwoCharacters) {
    ScratchDir scratch;
    scratch.write("credits.ini", "[Credits]\nCanGoNegative=" + GetParam().value + "\n");
    BotInstance bot(1);
    bot.canGoNegative = !GetParam().expected;
    bot.loadBank();
    EXPECT_EQ(bot.canGoNegative, GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, CanGoNegative,
    ::testing::Values(NegativeCase{"1", true}, NegativeCase{"yes", true}, NegativeCase{"Y", true},
                      NegativeCase{"true", true}, NegativeCase{"TRUE", true}, NegativeCase{"on", true},
                      NegativeCase{"ON", true}, NegativeCase{"oN", true}, NegativeCase{"off", false},
                      NegativeCase{"o", false}, NegativeCase{"no", false}, NegativeCase{"0", false},
                      NegativeCase{"false", false}, NegativeCase{"", false}, NegativeCase{"xon", false},
                      NegativeCase{"10", true}));

TEST(CanGoNegativeMissing, DefaultsToFalse) {
    ScratchDir scratch;
    BotInstance bot(1);
    bot.canGoNegative = true;
    bot.loadBank();
    EXPECT_FALSE(bot.canGoNegative);
}

}  // namespace
}  // namespace kadrel::testing
