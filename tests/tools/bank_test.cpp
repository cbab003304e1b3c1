// kadrel bank against bank files built byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "run_program.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// One 24-byte record: the 20 name bytes exactly as given (zero-filled), then
// the balance, least significant byte first.
Bytes record(std::string_view nameBytes, int32_t credits) {
    Bytes bytes(24, 0);
    std::memcpy(bytes.data(), nameBytes.data(), nameBytes.size());
    const auto value = static_cast<uint32_t>(credits);
    for (int i = 0; i < 4; ++i) bytes[20 + i] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class BankTool : public ::testing::Test {
protected:
    void writeBank(const Bytes& bytes, const std::string& name = "Quorlen.bank") { scratch.write(name, text(bytes)); }
    Bytes bank(const std::string& name = "Quorlen.bank") const { return scratch.readBytes(name); }

    ScratchDir scratch;
};

// Names that a CSV or a terminal would mangle, and bytes after the NUL that
// the plug-in carries along unread.
const Bytes awkwardBank = join({
    record("Alice", 250),
    record(std::string_view("Bob\0garbage\x01\xff", 13), -5),
    record("Comma, \"Quote\"", 2147483647),
    record(" Blank ends ", -2147483648),
    record("\xc4ngstr\xf6m\\x41", 0),
    record("Tab\there\nline", 7),
    record("", 25),
    record("NineteenCharacters", 1000),
});

TEST_F(BankTool, CsvExportThenImportGivesTheSameBytes) {
    writeBank(awkwardBank);
    const ProgramRun exported = runKadrel("bank export --csv -o bank.csv");
    ASSERT_EQ(exported.status, 0) << exported.err;
    const ProgramRun imported = runKadrel("bank copy.bank import bank.csv");
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(bank("copy.bank"), awkwardBank);
    EXPECT_EQ(imported.out, "copy.bank: 8 accounts imported\n");
}

TEST_F(BankTool, CsvShowsEscapedNamesAndTheBytesAfterTheNul) {
    writeBank(awkwardBank);
    const ProgramRun run = runKadrel("bank export");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "name,credits,tail\n"
              "Alice,250,\n"
              "Bob,-5,6761726261676501ff00000000000000\n"
              "\"Comma, \"\"Quote\"\"\",2147483647,\n"
              "\" Blank ends \",-2147483648,\n"
              "\\xc4ngstr\\xf6m\\\\x41,0,\n"
              "Tab\\x09here\\x0aline,7,\n"
              "\"\",25,\n"
              "NineteenCharacters,1000,\n");
}

TEST_F(BankTool, JsonReadsNameBytesAsLatin1) {
    writeBank(join({record("\xc4sa", 3), record(std::string_view("Q\"\\\0\x05", 5), -1)}));
    const ProgramRun run = runKadrel("bank export --json");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "[\n"
              "  {\n    \"name\": \"\xc3\x84sa\",\n    \"credits\": 3,\n    \"tail\": \"\"\n  },\n"
              "  {\n    \"name\": \"Q\\\"\\\\\",\n    \"credits\": -1,\n    \"tail\": \"05000000000000000000000000000000\"\n  }\n"
              "]\n");
}

TEST_F(BankTool, ImportRefusesAMalformedCsvAndNamesTheLine) {
    writeBank(record("Alice", 1));
    using namespace std::string_view_literals;
    const struct {
        std::string_view csv;
        const char* complaint;
    } cases[] = {
        {"name,credits\nAlice,1\n", "line 1: the first line must be the header name,credits,tail"},
        {"name,credits,tail\nAlice,1,\nBob,+5,\n", "line 3: credits must be a whole number"},
        {"name,credits,tail\nAlice,2147483648,\n", "line 2: credits must be a whole number"},
        {"name,credits,tail\nABCDEFGHIJKLMNOPQRST,1,\n", "line 2: an account name holds at most 19 bytes"},
        {"name,credits,tail\nBob,1,00\n", "line 2: the tail holds the 16 bytes after the name's NUL"},
        {"name,credits,tail\nBo\\x00b,1,\n", "line 2: a name cannot hold a NUL"},
        {"name,credits,tail\nBo\0b,1,\n"sv, "line 2: a name cannot hold a NUL"},
        {"name,credits,tail\nBob,12\0abc,\n"sv, "line 2: credits must be a whole number"},
        {"name,credits,tail\nBob,1\n", "line 2: a record has three fields"},
        {"name,credits,tail\n\"Bob,1,\n", "line 2: a quoted field is not closed"},
    };
    for (const auto& example : cases) {
        scratch.write("in.csv", example.csv);
        const ProgramRun run = runKadrel("bank import in.csv");
        EXPECT_EQ(run.status, 1) << example.csv;
        EXPECT_NE(run.err.find(example.complaint), std::string::npos) << run.err;
        EXPECT_EQ(bank(), record("Alice", 1)) << example.csv;
    }
}

TEST_F(BankTool, NamesMatchAsThePluginMatchesThem) {
    writeBank(join({record("Alice", 250), record("BOB", 10), record("bob", 99)}));
    EXPECT_EQ(runKadrel("bank get aLICE").out, "Alice has 250 credits\n");
    EXPECT_EQ(runKadrel("bank get bob").out, "BOB has 10 credits\n");
    const ProgramRun prefix = runKadrel("bank get Alic");
    EXPECT_EQ(prefix.status, 1);
    EXPECT_EQ(prefix.err, "no account matches Alic\n");
}

TEST_F(BankTool, SetChangesTheFirstMatchOrAppendsANewAccount) {
    writeBank(join({record(std::string_view("Bob\0kept", 8), 10), record("BOB", 20)}));
    EXPECT_EQ(runKadrel("bank set bob -5").out, "Bob: 10 -> -5 credits\n");
    EXPECT_EQ(runKadrel("bank set Carol 1000").out, "Carol: new account with 1000 credits\n");
    EXPECT_EQ(bank(), join({record(std::string_view("Bob\0kept", 8), -5), record("BOB", 20), record("Carol", 1000)}));

    const Bytes before = bank();
    EXPECT_EQ(runKadrel("bank set Dave 2147483648").status, 1);
    EXPECT_EQ(runKadrel("bank set ABCDEFGHIJKLMNOPQRST 1").status, 1);
    EXPECT_EQ(bank(), before);
}

// A running bot's changes since its last save live in the journal: the tool
// shows them, and its own change reaches the bot before the bot's next one.
TEST_F(BankTool, ReadsTheJournalAndChangesTheBankUnderItsLock) {
    writeBank(join({record("Alice", 250), record("Bob", 5)}));
    scratch.write("credits.ini", "[Credits]\nAnyPrize=7\n");
    TestHost host;
    host.init(1);
    host.prize(1, PlayerRecord("Alice"), 3);
    EXPECT_EQ(bank(), join({record("Alice", 250), record("Bob", 5)})) << "the bot saved early";
    EXPECT_EQ(runKadrel("bank get alice").out, "Alice has 257 credits\n");
    const ProgramRun set = runKadrel("bank set Bob 40");
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "Bob: 5 -> 40 credits\n");
    EXPECT_EQ(bank(), join({record("Alice", 257), record("Bob", 40)}));
    host.prize(1, PlayerRecord("Bob"), 3);
    host.term(1);
    EXPECT_EQ(bank(), join({record("Alice", 257), record("Bob", 47)}));
}

TEST_F(BankTool, SetOnAMissingFileCreatesIt) {
    EXPECT_EQ(runKadrel("bank set Alice 1000").status, 0);
    EXPECT_EQ(bank(), record("Alice", 1000));
}

TEST_F(BankTool, ListAndTopShowWhatThePluginFinds) {
    writeBank(join({record("Alice", 250), record("Bob", 900), record("ALICE", 5000), record("Carol", 900)}));
    EXPECT_EQ(runKadrel("bank list").out,
              "record  name                     credits\n"
              "     0  Alice                         250\n"
              "     1  Bob                           900\n"
              "     2  ALICE                        5000  (never found: record 0 has the same name)\n"
              "     3  Carol                         900\n");
    EXPECT_EQ(runKadrel("bank top 2").out,
              "   1  Bob                           900\n"
              "   2  Carol                         900\n");
    EXPECT_EQ(runKadrel("bank top").out,
              "   1  Bob                           900\n"
              "   2  Carol                         900\n"
              "   3  Alice                         250\n");
}

TEST_F(BankTool, TopReadsItsCountInDecimalOnly) {
    Bytes nine;
    for (const char* name : {"A", "B", "C", "D", "E", "F", "G", "H", "I"}) nine = join({nine, record(name, 1)});
    writeBank(nine);
    const ProgramRun leadingZero = runKadrel("bank top 010");
    EXPECT_EQ(leadingZero.status, 0) << leadingZero.err;
    EXPECT_EQ(std::count(leadingZero.out.begin(), leadingZero.out.end(), '\n'), 9) << leadingZero.out;

    for (const char* arguments : {"bank top 0", "bank top 0x2", "bank top 1000000000"}) {
        const ProgramRun run = runKadrel(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_NE(run.err.find("whole number from 1 to"), std::string::npos) << arguments << run.err;
    }
}

// A length that is not a whole number of records, and a name without its NUL.
const Bytes cutBank = join({record("Alice", 250), record("Bob", 10), Bytes{1, 2}});
const Bytes unterminatedBank = join({record("Alice", 250), record("ABCDEFGHIJKLMNOPQRST", 10)});

TEST_F(BankTool, DamagedFilesAreRefusedAndLeftAlone) {
    for (const Bytes& damaged : {cutBank, unterminatedBank}) {
        writeBank(damaged);
        scratch.write("in.csv", "name,credits,tail\nZed,1,\n");
        for (const char* arguments : {"bank list", "bank set Alice 1", "bank import in.csv", "bank check"}) {
            const ProgramRun run = runKadrel(arguments);
            EXPECT_EQ(run.status, 1) << arguments;
            EXPECT_NE(run.err.find("Quorlen.bank is damaged:"), std::string::npos) << arguments << run.err;
            EXPECT_EQ(bank(), damaged) << arguments;
        }
    }
}

TEST_F(BankTool, CheckNamesTheDamage) {
    writeBank(cutBank);
    EXPECT_NE(runKadrel("bank check").err.find("50 bytes is not a whole number of 24-byte records (2 bytes too many)"),
              std::string::npos);
    writeBank(unterminatedBank);
    EXPECT_NE(runKadrel("bank check").err.find("record 1: the name has no NUL within its 20 bytes"), std::string::npos);
}

TEST_F(BankTool, RepairKeepsWholeRecordsAndSetsTheDamagedFileAside) {
    writeBank(cutBank);
    const ProgramRun run = runKadrel("bank check --repair");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(bank(), join({record("Alice", 250), record("Bob", 10)}));
    EXPECT_EQ(bank("Quorlen.bank.damaged"), cutBank);
    EXPECT_EQ(runKadrel("bank check").out, "Quorlen.bank: 2 accounts in 48 bytes, sound\n");

    // A second repair keeps its copy beside the first one's.
    writeBank(unterminatedBank);
    EXPECT_EQ(runKadrel("bank check --repair").out,
              "repaired: record 1: the name has no NUL within its 20 bytes\n"
              "Quorlen.bank: 2 accounts kept; the damaged file is Quorlen.bank.damaged.1\n");
    EXPECT_EQ(bank(), join({record("Alice", 250), record("ABCDEFGHIJKLMNOPQRS", 10)}));
    EXPECT_EQ(bank("Quorlen.bank.damaged"), cutBank);
    EXPECT_EQ(bank("Quorlen.bank.damaged.1"), unterminatedBank);
}

TEST_F(BankTool, ABankThatCannotBeReadIsAnErrorNotACrash) {
    std::filesystem::create_directory(scratch.path() / "folder");
    scratch.write("in.csv", "name,credits,tail\nZed,1,\n");
    for (const char* arguments : {"bank folder list", "bank folder set Bob 1", "bank folder import in.csv"}) {
        const ProgramRun run = runKadrel(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_EQ(run.err, "kadrel bank: cannot read folder\n") << arguments;
    }
}

TEST_F(BankTool, ExportIsNeverWrittenOverTheBankItself) {
    writeBank(awkwardBank);
    for (const char* arguments : {"bank export -o Quorlen.bank", "bank export --json -o ./Quorlen.bank"}) {
        const ProgramRun run = runKadrel(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_NE(run.err.find("would be written over the bank file"), std::string::npos) << run.err;
        EXPECT_EQ(bank(), awkwardBank) << arguments;
    }
}

TEST_F(BankTool, OutputThatCannotBeWrittenFails) {
    writeBank(awkwardBank);
    for (const char* arguments : {"bank list", "bank export --json"}) {
        EXPECT_EQ(runKadrel(arguments, "", "/dev/full").status, 1) << arguments;
    }
    EXPECT_EQ(bank(), awkwardBank);
}

TEST_F(BankTool, RepairLeavesSoundRecordsByteForByte) {
    // A name with its NUL, then bytes up to the field's last one.
    const Bytes sound = record(std::string("Al") + '\0' + "the tail byte" + "\x01\xff\xfe\xfd", 5);
    writeBank(join({sound, record("ABCDEFGHIJKLMNOPQRST", 10), Bytes{7}}));
    ASSERT_EQ(runKadrel("bank check --repair").status, 0);
    EXPECT_EQ(bank(), join({sound, record("ABCDEFGHIJKLMNOPQRS", 10)}));
}

TEST_F(BankTool, CheckReportsRecordsThePluginNeverFinds) {
    writeBank(join({record("Bob", 1), record("BOB", 2)}));
    const ProgramRun run = runKadrel("bank check");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "record 1 (BOB) is never found: record 0 (Bob) has the same name\n"
              "Quorlen.bank: 2 accounts in 48 bytes, sound\n");
}

}  // namespace
}  // namespace kadrel::testing
