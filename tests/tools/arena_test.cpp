// kadrel arena as a program: its exit status, its complaints and its two ways
// of reading steps. The stories it plays are transcripts, played in-process.
#include <gtest/gtest.h>

#include "run_program.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

class Arena : public ::testing::Test {
protected:
    ProgramRun play(const std::string& script) {
        scratch.write("match.arena", script);
        return runKadrel("arena match.arena");
    }

    ScratchDir scratch;
};

TEST_F(Arena, MalformedLinesAreAllNamedAndNothingRuns) {
    const ProgramRun run = play(
        "init\n"
        "join Alice team 70000\n"
        "join Bob colour red\n"
        "Alice: buy shield\n"
        "prize Alice 29\n"
        "dance\n"
        "move Alice 1\n"
        "term\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              "match.arena:2: the team must be a whole number from 0 to 65535, not '70000'\n"
              "    join Alice team 70000\n"
              "match.arena:3: join knows team, level, ship, squad, ident, at, score and carrying, not 'colour'\n"
              "    join Bob colour red\n"
              "match.arena:4: the plug-in hears only commands: NAME: !WORD [PARAMETERS]\n"
              "    Alice: buy shield\n"
              "match.arena:5: the prize type must be a whole number from -28 to 28, not '29'\n"
              "    prize Alice 29\n"
              "match.arena:6: unknown command 'dance' (help lists the commands)\n"
              "    dance\n"
              "match.arena:7: usage: move NAME X Y\n"
              "    move Alice 1\n");
    // Not even the init ran: the plug-in never wrote its bank file.
    EXPECT_FALSE(scratch.exists("Quorlen.bank"));
}

TEST_F(Arena, AStepThatCannotBeCarriedOutStopsTheRun) {
    const ProgramRun run = play(
        "init\n"
        "join Alice\n"
        "Bob kills Alice\n"
        "term\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "> init\n"
              "[echo] DLL plugin connected.\n"
              "[echo] Loading data...\n"
              "[echo] Data loaded\n"
              "> join Alice\n"
              "> Bob kills Alice\n");
    EXPECT_EQ(run.err, "match.arena:3: nobody called Bob is in the arena\n    Bob kills Alice\n");
}

TEST_F(Arena, InteractiveLinesComeFromStandardInputAndMistakesDoNotStopIt) {
    const ProgramRun run = runKadrel("arena", "init\nwhat\njoin Alice\njoin alice\nhelp kills\nquit\ninit\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "[echo] DLL plugin connected.\n"
              "[echo] Loading data...\n"
              "[echo] Data loaded\n"
              "NAME kills NAME\n"
              "    the first player kills the second\n");
    EXPECT_EQ(run.err,
              "error: unknown command 'what' (help lists the commands)\n"
              "error: Alice is already in the arena\n");
}

TEST_F(Arena, AMissingLibraryIsReported) {
    scratch.write("match.arena", "init\n");
    const ProgramRun run = runKadrel("arena --library ./nowhere.so match.arena");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot load the plug-in"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kadrel::testing
