// kadrel bank against bank files built byte by byte.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "bank_model.h"
#include "economy_writer.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "test_host.h"
#include "tools/whole_file.h"

namespace kadrel::testing {
namespace {

using namespace std::string_literals;

class BankTool : public ::testing::Test {
protected:
    void writeBank(const std::string& bytes) { scratch.write(bankFileName(), bytes); }
    std::string bank(const std::string& name = bankFileName()) const { return scratch.read(name); }

    ScratchDir scratch;
};

// Names that a CSV or a terminal would mangle, and bytes after the NUL that
// the plug-in carries along unread.
const std::string awkwardBank = bankBytes({
    {"Alice", 250},
    {"Bob\0garbage\x01\xff"s, -5},
    {"Comma, \"Quote\"", 2147483647},
    {" Blank ends ", -2147483648},
    {"\xc4ngstr\xf6m\\x41", 0},
    {"Tab\there\nline", 7},
    {"", 25},
    {"NineteenCharacters", 1000},
});

// The history the demo match leaves, asked for as the transcript's "$ kadrel"
// lines say; its times are the match's own, so they are masked. kadrel.exe
// under Wine must give the same.
TEST_F(BankTool, HistoryOfTheDemoMatch) {
    for (const std::string name : {"credits.ini", "buy.ini"}) {
        scratch.write(name, tools::readWholeFile(KADREL_EXAMPLES "/" + name).value_or(""));
    }
    ASSERT_EQ(runKadrel("arena " KADREL_EXAMPLES "/demo.arena").status, 0);
    const std::string expected = tools::readWholeFile(KADREL_TRANSCRIPTS "/history.expected").value_or("");
    std::istringstream lines(expected);
    std::string transcript;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("$ kadrel ", 0) != 0) continue;
        const ProgramRun run = runKadrel(line.substr(9));
        transcript += line + "\n" + maskTimes(run.out + run.err);
    }
    EXPECT_EQ(transcript, expected);
    // A record spoilt in a month's file costs its transaction, counted on
    // the error stream; the records after it are read, and a transaction
    // cut short is never joined to the next file's first records.
    const std::string full = runKadrel("bank history --csv").out;
    std::string month;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        if (entry.path().filename().string().starts_with("Quorlen.history.")) month = entry.path().filename().string();
    }
    const std::string whole = scratch.read(month);
    constexpr size_t header = 16, record = 88, split = 15, spoilt = 9;
    std::string older = whole.substr(0, header + split * record);
    older[header + spoilt * record + 30] ^= 1;
    scratch.write("Quorlen.history.2020-01", older);
    scratch.write(month, whole.substr(0, header) + whole.substr(header + split * record));
    const ProgramRun cut = runKadrel("bank history --csv");
    EXPECT_EQ(cut.err, "kadrel bank: Quorlen.history.2020-01 is damaged: 4 of its 15 changes were skipped\n");
    std::istringstream fullLines(full);
    std::string kept;
    for (std::string line; std::getline(fullLines, line);) {
        const size_t sequence = std::atoi(line.c_str() + line.find(',') + 1);
        if (sequence < 8 || sequence > 11) kept += line + "\n";  // the spoilt record's transaction
    }
    EXPECT_EQ(cut.out, kept);
}

// Undo and rollback against a model, with a bot running: random gives, takes,
// prizes and resets; undos of random choices, each undone in turn; a rollback
// to a time between two runs of changes.
TEST_F(BankTool, UndoAndRollbackFollowAModel) {
    struct Change {
        uint64_t id;
        std::string by;  // the operator, if any
        Balances moved;
    };
    scratch.write("credits.ini", "[Credits]\nPrize2=2\n");
    TestHost host;
    host.init(1);
    std::mt19937 random(11);
    Balances model;
    std::vector<Change> changes;
    uint64_t sequence = 1;
    auto play = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const std::string player = std::vector<std::string>{"Ann", "Bob", "Cid"}[random() % 3];
            const PlayerRecord by(random() % 2 ? "Op" : "Ed", 9, 1);
            const int64_t amount = random() % 50;
            Change change{sequence, by.nameText(), {{player, amount}}};
            switch (random() % 5) {
                case 0:
                    host.prize(1, PlayerRecord(player), 2);
                    change = {sequence, "", {{player, 2}}};
                    break;
                case 1:
                    host.command(1, by, "ctake", player + ":" + std::to_string(amount));
                    change.moved[player] = -amount;
                    break;
                case 2:
                    host.command(1, by, "creset");
                    change.moved.clear();
                    for (const auto& [name, balance] : model) {
                        if (balance != 0) change.moved[name] = -balance;
                    }
                    ++sequence;  // the reset's own record
                    break;
                default:
                    host.command(1, by, "cgive", player + ":" + std::to_string(amount));
            }
            sequence += change.moved.size();
            for (const auto& [name, moved] : change.moved) model[name] += moved;
            changes.push_back(change);
        }
    };
    auto balancesMatch = [&] {
        const auto none = [](const auto& account) { return account.second == 0; };
        Balances found = exportedBalances();
        std::erase_if(found, none);
        std::erase_if(model, none);
        EXPECT_EQ(found, model);
    };
    play(40);
    balancesMatch();
    const Balances start = model;
    std::set<std::string> undos;
    const Change& chosen = changes[random() % changes.size()];
    const std::string player = chosen.moved.empty() ? "Ann" : chosen.moved.begin()->first;
    for (const std::string& choice :
         std::vector<std::string>{std::to_string(chosen.id), "--player " + player, "--operator Ed"}) {
        SCOPED_TRACE(choice);
        Balances undone = model;
        for (const Change& change : changes) {
            const bool picked = choice == std::to_string(change.id) ||
                                (choice == "--operator Ed" && change.by == "Ed") ||
                                (choice == "--player " + player && change.moved.count(player) != 0);
            for (const auto& [name, moved] : change.moved) undone[name] -= picked ? moved : 0;
        }
        ASSERT_EQ(runKadrel("bank undo " + choice + " --apply").status, 0);
        model = undone;
        balancesMatch();
        // Undoing what the undo wrote gives every credit back.
        for (int round = 0; round < 2; ++round) {
            std::istringstream written(runKadrel("bank history --cause undo --csv").out);
            for (std::string line; std::getline(written, line);) {
                const std::string id = line.substr(0, line.find(','));
                if (id != "transaction" && undos.insert(id).second && round == 0) {
                    ASSERT_EQ(runKadrel("bank undo " + id + " --apply").status, 0);
                }
            }
        }
        model = start;
        balancesMatch();
    }
    // A rollback to a time between two runs brings back the balances of then.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const std::string then = timeText(std::time(nullptr));
    play(20);
    ASSERT_EQ(runKadrel("bank rollback --to " + then + " --apply").status, 0);
    model = start;
    balancesMatch();
}

TEST_F(BankTool, CsvShowsEveryByteAndImportsBackToTheSameFile) {
    writeBank(awkwardBank);
    const ProgramRun exported = runKadrel("bank export --csv -o bank.csv");
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(scratch.read("bank.csv"),
              "name,credits,tail\n"
              "Alice,250,\n"
              "Bob,-5,6761726261676501ff00000000000000\n"
              "\"Comma, \"\"Quote\"\"\",2147483647,\n"
              "\" Blank ends \",-2147483648,\n"
              "\\xc4ngstr\\xf6m\\\\x41,0,\n"
              "Tab\\x09here\\x0aline,7,\n"
              "\"\",25,\n"
              "NineteenCharacters,1000,\n");
    const ProgramRun imported = runKadrel("bank copy.bank import bank.csv");
    EXPECT_EQ(imported.out, "copy.bank: 8 accounts imported\n") << imported.err;
    EXPECT_EQ(bank("copy.bank"), awkwardBank);
}

TEST_F(BankTool, JsonReadsNameBytesAsLatin1) {
    writeBank(bankBytes({{"\xc4sa", 3}, {"Q\"\\\0\x05"s, -1}}));
    EXPECT_EQ(runKadrel("bank export --json").out,
              "[\n"
              "  {\n    \"name\": \"\xc3\x84sa\",\n    \"credits\": 3,\n    \"tail\": \"\"\n  },\n"
              "  {\n    \"name\": \"Q\\\"\\\\\",\n    \"credits\": -1,\n    \"tail\": \"05000000000000000000000000000000\"\n  }\n"
              "]\n");
}

TEST_F(BankTool, ImportRefusesAMalformedCsvAndNamesTheLine) {
    writeBank(bankRecord("Alice", 1));
    const struct {
        std::string csv;
        const char* complaint;
    } cases[] = {
        {"name,credits\nAlice,1\n", "line 1: the first line must be the header name,credits,tail"},
        {"name,credits,tail\nAlice,1,\nBob,+5,\n", "line 3: credits must be a whole number"},
        {"name,credits,tail\nAlice,2147483648,\n", "line 2: credits must be a whole number"},
        {"name,credits,tail\nABCDEFGHIJKLMNOPQRST,1,\n", "line 2: an account name holds at most 19 bytes"},
        {"name,credits,tail\nBob,1,00\n", "line 2: the tail holds the 16 bytes after the name's NUL"},
        {"name,credits,tail\nBo\\x00b,1,\n", "line 2: a name cannot hold a NUL"},
        {"name,credits,tail\nBo\0b,1,\n"s, "line 2: a name cannot hold a NUL"},
        {"name,credits,tail\nBob,12\0abc,\n"s, "line 2: credits must be a whole number"},
        {"name,credits,tail\nBob,1\n", "line 2: a record has three fields"},
        {"name,credits,tail\n\"Bob,1,\n", "line 2: a quoted field is not closed"},
        {"name,credits,tail\nAlice,1,\nBob,2,\nalice,3,\n", "lines 2 and 4: Alice and alice are one account"},
    };
    for (const auto& example : cases) {
        scratch.write("in.csv", example.csv);
        const ProgramRun run = runKadrel("bank import in.csv");
        EXPECT_EQ(run.status, 1) << example.csv;
        EXPECT_NE(run.err.find(example.complaint), std::string::npos) << run.err;
    }
    EXPECT_EQ(bank(), bankRecord("Alice", 1));
}

// The first account whose name matches with capitals folded answers, as in
// the plug-in; a new name is appended.
TEST_F(BankTool, GetAndSetFindAccountsAsThePluginDoes) {
    EXPECT_EQ(runKadrel("bank set Alice 1000").out, "Alice: new account with 1000 credits\n") << "no file yet";
    writeBank(bankBytes({{"Bob\0kept"s, 10}, {"BOB", 20}}));
    EXPECT_EQ(runKadrel("bank get bOB").out, "Bob has 10 credits\n");
    EXPECT_EQ(runKadrel("bank get Bo").err, "no account matches Bo\n");
    EXPECT_EQ(runKadrel("bank set bob -5").out, "Bob: 10 -> -5 credits\n");
    EXPECT_EQ(runKadrel("bank set Carol 1000").out, "Carol: new account with 1000 credits\n");
    const std::string history = runKadrel("bank history --cause set --csv").out;
    EXPECT_NE(history.find(",set,Bob,-15,-5,\"\",0\n"), std::string::npos) << "each set is in the history";
    EXPECT_NE(history.find(",set,Carol,1000,1000,\"\",0\n"), std::string::npos) << history;
    const std::string expected = bankBytes({{"Bob\0kept"s, -5}, {"BOB", 20}, {"Carol", 1000}});
    EXPECT_EQ(bank(), expected);
    EXPECT_EQ(runKadrel("bank set Dave 2147483648").status, 1);
    EXPECT_EQ(runKadrel("bank set ABCDEFGHIJKLMNOPQRST 1").status, 1);
    EXPECT_EQ(bank(), expected);
}

// A running bot's changes since its last save live in the journal: the tool
// shows them, and its own change reaches the bot before the bot's next one.
TEST_F(BankTool, ReadsTheJournalAndChangesTheBankUnderItsLock) {
    writeBank(bankBytes({{"Alice", 250}, {"Bob", 5}}));
    scratch.write("credits.ini", "[Credits]\nAnyPrize=7\n");
    TestHost host;
    host.init(1);
    host.prize(1, PlayerRecord("Alice"), 3);
    EXPECT_EQ(bank(), bankBytes({{"Alice", 250}, {"Bob", 5}})) << "the bot saved early";
    EXPECT_EQ(runKadrel("bank get alice").out, "Alice has 257 credits\n");
    EXPECT_EQ(runKadrel("bank set Bob 40").out, "Bob: 5 -> 40 credits\n");
    EXPECT_EQ(bank(), bankBytes({{"Alice", 257}, {"Bob", 40}}));
    host.prize(1, PlayerRecord("Bob"), 3);
    EXPECT_EQ(runKadrel("bank get bob").out, "Bob has 47 credits\n");
    // An import moves every balance it changes through the journal, as one
    // transaction, then writes the file's own order.
    scratch.write("in.csv", "name,credits,tail\nCarol,0,\nBob,1,\n");
    EXPECT_EQ(runKadrel("bank import in.csv").out, "Quorlen.bank: 2 accounts imported\n");
    EXPECT_EQ(bank(), bankBytes({{"Carol", 0}, {"Bob", 1}}));
    const std::string imported = runKadrel("bank history --cause import --last 1 --csv").out;
    for (const char* change : {",import,Alice,-257,0,", ",import,Bob,-46,1,", ",import,Carol,0,0,"}) {
        EXPECT_NE(imported.find(change), std::string::npos) << imported;
    }
    host.prize(1, PlayerRecord("Bob"), 3);
    host.term(1);
    EXPECT_EQ(bank(), bankBytes({{"Carol", 0}, {"Bob", 8}}));
}

// In a folder whose balances kadrel sync shares, the changes that would
// reach the other machines without any debit crossing them are refused and
// change nothing; the plans are still shown, and once the folder has left
// the economy they go through again.
TEST_F(BankTool, ChangesOverTheEconomysHeadAreRefusedInASharedFolder) {
    writeBank(bankBytes({{"Alice", 250}, {"Bob", 5}}));
    scratch.write("in.csv", "name,credits,tail\nBob,1,\n");
    const std::string refusal = "kadrel bank: . shares its balances with other machines through kadrel sync; leave "
                                "the economy first\n";
    EconomyWriter sync;
    sync.write({makeJournalRecord(JournalKind::Add, 1, "Bob", {JournalCause::ToolSet}, 5, 6)});
    sync.write({makeSharedRecord(3, std::time(nullptr))});
    const std::string journal = scratch.read("Quorlen.bank.journal");
    for (const char* command : {"set Bob 40", "import in.csv", "undo 1 --apply", "rollback --to 1 --apply"}) {
        const ProgramRun run = runKadrel("bank "s + command);
        EXPECT_EQ(std::to_string(run.status) + " " + run.err, "1 " + refusal) << command;
    }
    EXPECT_EQ(scratch.read("Quorlen.bank.journal"), journal) << "nothing was written";
    EXPECT_EQ(bank(), bankBytes({{"Alice", 250}, {"Bob", 5}}));
    EXPECT_EQ(runKadrel("bank undo 1").status, 0) << "a plan is only shown";
    sync.write({makeSharedRecord(0, std::time(nullptr))});
    EXPECT_EQ(runKadrel("bank set Bob 40").out, "Bob: 6 -> 40 credits\n");
}

// Before the bot's first save the journal alone holds its balances.
TEST_F(BankTool, ShowsABankThatOnlyTheJournalHolds) {
    scratch.write("credits.ini", "[Credits]\nAnyPrize=7\n");
    TestHost host;
    host.init(1);
    host.prize(1, PlayerRecord("Alice"), 3);
    ASSERT_FALSE(scratch.exists(bankFileName()));
    EXPECT_EQ(runKadrel("bank get alice").out, "Alice has 7 credits\n");
    EXPECT_EQ(runKadrel("bank list").out, "record  name                     credits\n"
                                          "     0  Alice                           7\n");
    EXPECT_NE(runKadrel("bank export -o Quorlen.bank").err.find("written over the bank file"), std::string::npos);
#ifndef _WIN32
    ASSERT_EQ(mkfifo(bankFileName().c_str(), 0600), 0);
    EXPECT_EQ(runKadrel("bank list").status, 1) << "a FIFO is refused, never waited on";
    EXPECT_EQ(runKadrel("bank get alice").err, "kadrel bank: cannot read Quorlen.bank\n");
#endif
}

#ifndef _WIN32
// An operator's account that may only read the folder lists, queries, plans
// and reports, and nothing it reads changes by a byte.
TEST_F(BankTool, AnAccountThatMayOnlyReadListsPlansAndReports) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can run the program as another account";
    ASSERT_EQ(runKadrel("bank set Alice 50").status, 0);
    ASSERT_EQ(runKadrel("bank set Bob 7").status, 0);
    const ScratchFolder pages;
    std::filesystem::permissions(pages.path(), std::filesystem::perms::all);
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                                     std::filesystem::perms::group_exec |
                                                     std::filesystem::perms::others_read |
                                                     std::filesystem::perms::others_exec);
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        files[entry.path().filename().string()] = scratch.read(entry.path().filename().string());
    }
    ASSERT_TRUE(files.count("Quorlen.bank.journal") && files.size() >= 3) << "no journal or history to read";
    const std::string nobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups";
    for (const std::string& command : std::vector<std::string>{
             "bank list", "bank top", "bank export --json", "bank history", "bank undo --player Alice",
             "bank rollback --to 2000-01-01T00:00:00Z", "report -o " + (pages.path() / "economy.html").string()}) {
        const ProgramRun run = runKadrel(command, "", nullptr, nobody);
        EXPECT_EQ(run.status, 0) << command << ": " << run.err;
        EXPECT_EQ(run.err, "") << command;
    }
    EXPECT_EQ(runKadrel("bank get alice", "", nullptr, nobody).out, "Alice has 50 credits\n");
    for (const auto& [name, bytes] : files) EXPECT_EQ(scratch.read(name), bytes) << name;
}
#endif

TEST_F(BankTool, ListTopAndCheckShowWhatThePluginFinds) {
    writeBank(bankBytes({{"Alice", 250}, {"Bob", 900}, {"ALICE", 5000}, {"Carol", 900}}));
    EXPECT_EQ(runKadrel("bank list").out,
              "record  name                     credits\n"
              "     0  Alice                         250\n"
              "     1  Bob                           900\n"
              "     2  ALICE                        5000  (never found: record 0 has the same name)\n"
              "     3  Carol                         900\n");
    EXPECT_EQ(runKadrel("bank top 2").out,
              "   1  Bob                           900\n"
              "   2  Carol                         900\n");
    const std::string leadingZero = runKadrel("bank top 09").out;
    EXPECT_EQ(std::count(leadingZero.begin(), leadingZero.end(), '\n'), 3) << "decimal, not octal: " << leadingZero;
    for (const char* arguments : {"bank top 0", "bank top 0x2", "bank top 1000000000"}) {
        const ProgramRun run = runKadrel(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_NE(run.err.find("whole number from 1 to"), std::string::npos) << arguments << run.err;
    }
    EXPECT_EQ(runKadrel("bank check").out,
              "record 2 (ALICE) is never found: record 0 (Alice) has the same name\n"
              "Quorlen.bank: 4 accounts in 96 bytes, sound\n");
}

// A length that is not a whole number of records, and a name without its NUL.
const std::string cutBank = bankBytes({{"Alice", 250}, {"Bob", 10}}) + "\x01\x02";
const std::string unterminatedBank = bankBytes({{"Alice", 250}, {"ABCDEFGHIJKLMNOPQRST", 10}});

// A damaged length is refused by all but check; a name without its NUL is
// read as the plug-in reads it, cut to 19 bytes, and only check names it.
TEST_F(BankTool, DamagedFilesAreRefusedAndLeftAlone) {
    scratch.write("in.csv", "name,credits,tail\nZed,1,\n");
    for (const auto& [damaged, refusing] :
         {std::pair{cutBank, std::vector{"bank list", "bank set Alice 1", "bank import in.csv", "bank check",
                                         "bank rollback --to 2026-12-01T00:00:00Z"}},
          std::pair{unterminatedBank, std::vector{"bank check"}}}) {
        writeBank(damaged);
        for (const char* arguments : refusing) {
            const ProgramRun run = runKadrel(arguments);
            EXPECT_EQ(run.status, 1) << arguments;
            EXPECT_NE(run.err.find("Quorlen.bank is damaged:"), std::string::npos) << arguments << run.err;
            EXPECT_EQ(bank(), damaged) << arguments;
        }
    }
    EXPECT_EQ(runKadrel("bank get ABCDEFGHIJKLMNOPQRS").out, "ABCDEFGHIJKLMNOPQRS has 10 credits\n");
    // A report still writes its page, which says so and fails the run, and
    // leaves the file where it is even beside a journal, where the bots would
    // set it aside.
    writeBank(cutBank);
    scratch.write("Quorlen.bank.journal", "");
    EXPECT_EQ(runKadrel("report").status, 1);
    EXPECT_NE(scratch.read("economy.html").find("Health: damaged."), std::string::npos);
    EXPECT_EQ(bank(), cutBank);
}

// Whole sound records stay byte for byte; each repair keeps its own copy of
// the damaged file.
TEST_F(BankTool, RepairKeepsSoundRecordsAndSetsTheDamagedFileAside) {
    writeBank(cutBank);
    EXPECT_NE(runKadrel("bank check").err.find("50 bytes is not a whole number of 24-byte records (2 bytes too many)"),
              std::string::npos);
    EXPECT_EQ(runKadrel("bank check --repair").status, 0);
    EXPECT_EQ(bank(), bankBytes({{"Alice", 250}, {"Bob", 10}}));
    EXPECT_EQ(bank("Quorlen.bank.damaged"), cutBank);
    EXPECT_EQ(runKadrel("bank check").out, "Quorlen.bank: 2 accounts in 48 bytes, sound\n");

    const std::string sound = bankRecord("Al\0the tail byte\x01\xff\xfe\xfd"s, 5);
    const std::string unterminated = sound + bankRecord("ABCDEFGHIJKLMNOPQRST", 10);
    writeBank(unterminated);
    EXPECT_EQ(runKadrel("bank check --repair").out,
              "repaired: record 1: the name has no NUL within its 20 bytes\n"
              "Quorlen.bank: 2 accounts kept; the damaged file is Quorlen.bank.damaged.1\n");
    EXPECT_EQ(bank(), sound + bankRecord("ABCDEFGHIJKLMNOPQRS", 10));
    EXPECT_EQ(bank("Quorlen.bank.damaged"), cutBank);
    EXPECT_EQ(bank("Quorlen.bank.damaged.1"), unterminated);
}

TEST_F(BankTool, ReadAndWriteFailuresAreErrorsNotCrashes) {
    // A folder stands for its Quorlen.bank, here a folder itself.
    std::filesystem::create_directories(scratch.path() / "folder" / "Quorlen.bank");
    std::vector<std::pair<std::string, std::string>> unreadable = {{"folder", "folder/Quorlen.bank"}};
#ifndef _WIN32
    // Never opened for reading, which would wait for a writer.
    ASSERT_EQ(mkfifo((scratch.path() / "pipe").c_str(), 0600), 0);
    unreadable.emplace_back("pipe", "pipe");
#endif
    scratch.write("in.csv", "name,credits,tail\nZed,1,\n");
    for (const auto& [argument, file] : unreadable) {
        for (const char* command : {" list", " set Bob 1", " import in.csv", " check"}) {
            const ProgramRun run = runKadrel("bank " + argument + command);
            EXPECT_EQ(run.status, 1) << file << command;
            EXPECT_EQ(run.err, "kadrel bank: cannot read " + file + "\n") << file << command;
        }
    }
    writeBank(awkwardBank);
    for (const char* arguments : {"bank export -o Quorlen.bank", "bank export --json -o ./Quorlen.bank"}) {
        const ProgramRun run = runKadrel(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_NE(run.err.find("would be written over the bank file"), std::string::npos) << run.err;
    }
    for (const char* arguments : {"bank list", "bank export --json"}) {
        EXPECT_EQ(runKadrel(arguments, "", "/dev/full").status, 1) << arguments;
    }
    EXPECT_EQ(bank(), awkwardBank);
}

}  // namespace
}  // namespace kadrel::testing
