// The conventions of kadrel's command line: usage errors name the unknown
// word with the nearest known one and exit with 2; help and --version work.
#include <gtest/gtest.h>

#include <filesystem>

#include "bank_model.h"
#include "run_program.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

using namespace std::string_literals;

// kadrel sync is built only where libpq is.
#ifdef KADREL_SYNC
#define syncListed "sync, "
#else
#define syncListed ""
#endif

struct UsageCase {
    const char* arguments;
    int status;
    const char* said;  // on the error stream, or on the output when the status is 0
};

const UsageCase usageCases[] = {
    {"", 2, "kadrel: a command is required: arena, bank, lint, report, " syncListed "help\nSee 'kadrel help'.\n"},
    {"frobnicate", 2, "kadrel: unknown command frobnicate\nSee 'kadrel help'.\n"},
    {"lnit", 2, "kadrel: unknown command lnit; did you mean lint?\n"},
    {"--frob", 2, "kadrel: unknown option --frob\n"},
    {"--verison", 2, "kadrel: unknown option --verison; did you mean --version?\n"},
    {"bank", 2, "kadrel bank: a command is required: list, top, get, set, export, import, history, undo, rollback, check\n"
                "See 'kadrel help bank'.\n"},
    {"bank lst", 2, "kadrel bank: unknown command lst; did you mean list?\nSee 'kadrel help bank'.\n"},
    {"bank Quorlen.bank", 2, "kadrel bank: a command is required"},
    {"bank list lint", 2, "kadrel bank list: unexpected argument lint\n"},
    {"bank get", 2, "kadrel bank get: name is required\nSee 'kadrel help bank get'.\n"},
    {"bank get Alice Bob", 2, "kadrel bank get: unexpected argument Bob\n"},
    {"bank export --jsno", 2, "kadrel bank export: unknown option --jsno; did you mean --json?\n"},
    {"bank export --csv --json", 2, "kadrel bank export: --csv excludes --json"},
    {"bank history --cause kil", 2, "kadrel bank history: --cause: kil not in"},
    {"bank undo --aply", 2, "kadrel bank undo: unknown option --aply; did you mean --apply?\n"},
#ifdef KADREL_SYNC
    {"sync --leave --join", 2, "kadrel sync: --join excludes --leave\n"},
    {"sync --leave --status", 2, "kadrel sync: --leave excludes --status\n"},
    {"sync --apply", 2, "kadrel sync: --apply requires --join or --leave\n"},
#endif
    {"report --form 2026-12-01", 2, "kadrel report: unknown option --form; did you mean --from?\n"},
    {"lint . more", 2, "kadrel lint: unexpected argument more\n"},
    {"help frob", 2, "kadrel: unknown command frob\n"},
    {"help bank lst", 2, "kadrel bank: unknown command lst; did you mean list?\n"},
    {"help", 0, "Exit status: 0 when the command did what was asked; 1 when it refused or failed"},
    {"--help", 0, "  help                        Shows the options of the program, or of a command\n"},
    {"help bank history", 0, "Usage: kadrel bank history [OPTIONS] [name]\n"},
    {"bank history --help", 0, "Usage: kadrel bank history [OPTIONS] [name]\n"},
    {"--version", 0, "kadrel " KADREL_VERSION ", writing journal format 2\n"},
};

class Usage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(Usage, IsToldWithItsStatus) {
    const ScratchDir scratch;
    const UsageCase& usage = GetParam();
    const ProgramRun run = runKadrel(usage.arguments);
    EXPECT_EQ(run.status, usage.status) << run.err;
    const std::string& said = usage.status == 0 ? run.out : run.err;
    EXPECT_NE(said.find(usage.said), std::string::npos) << said;
    if (usage.status != 0) {
        EXPECT_EQ(run.out, "");
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLine, Usage, ::testing::ValuesIn(usageCases));

// A folder stands for the bank in it, as report and lint take folders; a
// folder without either INI file has nothing to lint.
TEST(CommandLine, FoldersStandForTheirFiles) {
    ScratchDir scratch;
    std::filesystem::create_directory("bot");
    scratch.write("bot/Quorlen.bank", bankBytes({{"Alice", 250}}));
    EXPECT_EQ(runKadrel("bank bot get alice").out, "Alice has 250 credits\n");
    EXPECT_EQ(runKadrel("bank bot set Bob 7").status, 0);
    EXPECT_EQ(scratch.read("bot/Quorlen.bank"), bankBytes({{"Alice", 250}, {"Bob", 7}}));
    const ProgramRun lint = runKadrel("lint bot");
    EXPECT_EQ(lint.status, 1);
    EXPECT_EQ(lint.err, "kadrel lint: bot holds neither buy.ini nor credits.ini; nothing was checked\n");
}

// Names that are not ASCII are shown as Latin-1 characters and typed back the
// same way; names the plug-in could never open are refused.
TEST(CommandLine, NamesAreShownAndTypedTheSameWay) {
    ScratchDir scratch;
    scratch.write("Quorlen.bank", bankBytes({{"Zo\xeb", 10}, {"Back\\slash\x7f", 3}}));
    EXPECT_EQ(runKadrel("bank list").out, "record  name                     credits\n"
                                          "     0  Zoë                            10\n"
                                          "     1  Back\\\\slash\\x7f                 3\n");
    for (const char* typed : {"'Zoë'", "'ZO\\xeb'", "\"$(printf 'Zo\\353')\""}) {
        EXPECT_EQ(runKadrel("bank get "s + typed).out, "Zoë has 10 credits\n") << typed;
    }
    EXPECT_EQ(runKadrel("bank get 'back\\\\slash\\x7f'").out, "Back\\\\slash\\x7f has 3 credits\n");
    EXPECT_EQ(runKadrel("bank set 'Zoë' 40").out, "Zoë: 10 -> 40 credits\n");
    EXPECT_EQ(runKadrel("bank set 'Łukasz' 5").status, 0) << "a byte that is not Latin-1 is kept as typed";
    EXPECT_EQ(scratch.read("Quorlen.bank"),
              bankBytes({{"Zo\xeb", 40}, {"Back\\slash\x7f", 3}, {"\xc5\x81ukasz", 5}}));
    EXPECT_NE(runKadrel("bank history 'Zoë'").out.find("Zoë                           30           40"),
              std::string::npos);
    EXPECT_NE(runKadrel("bank undo --player 'Zoë'").out.find("Zoë                           40 ->          10"),
              std::string::npos);
    for (const auto& [name, why] : {std::pair{"''", "cannot be empty"}, std::pair{"\"$(printf 'Tab\\there')\"", "control character \\x09"},
                                    std::pair{"'Bell\\x07'", "control character \\x07"},
                                    std::pair{"ABCDEFGHIJKLMNOPQRST", "at most 19 bytes"}}) {
        const ProgramRun run = runKadrel("bank set "s + name + " 1");
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find(why), std::string::npos) << name << run.err;
    }
    EXPECT_EQ(scratch.read("Quorlen.bank"),
              bankBytes({{"Zo\xeb", 40}, {"Back\\slash\x7f", 3}, {"\xc5\x81ukasz", 5}}));
}

}  // namespace
}  // namespace kadrel::testing
