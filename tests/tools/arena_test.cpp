// kadrel arena: scripts played against the real plug-in, transcripts compared
// line for line.
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

TEST_F(Arena, RefusedHostVersions) {
    EXPECT_EQ(play("init 5.9\nterm\n").out,
              "> init 5.9\n"
              "[echo] DLL plugin cannot connect.  This plugin requires the latest version of Quorlen.\n"
              "> term\n");
    EXPECT_EQ(play("init 7.0\n").out, "> init 7.0\n[echo] DLL plugin cannot connect.  This plugin is out of date.\n");
    EXPECT_EQ(play("init 6.3\n").out,
              "> init 6.3\n[echo] DLL plugin connected.\n[echo] Loading data...\n[echo] Data loaded\n");
}

TEST_F(Arena, CommentsAndBlankLinesStayInTheTranscript) {
    const ProgramRun run = play("# a comment\n\n  # indented\ntick 2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "# a comment\n\n  # indented\n> tick 2\n");
}

TEST_F(Arena, TheBankIsSavedAtTheThreeHundredthTick) {
    play("init\ntick 299\n");
    EXPECT_FALSE(scratch.exists("Quorlen.bank"));
    play("init\ntick 300\n");
    EXPECT_TRUE(scratch.exists("Quorlen.bank"));
}

TEST_F(Arena, PlayersAndFlagsAsTheHostListsThem) {
    const ProgramRun run = play(
        "join Alice team 3 level 2 ship 8 squad \"Red Aces\" ident 40 at 100 -20 score 5 -7 carrying 2\n"
        "join \"Mr Bob\"\n"
        "move \"mr bob\" 16383 16383\n"
        "flag 1023 0\n"
        "players\n"
        "leave ALICE\n"
        "flag clear\n"
        "players\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "> join Alice team 3 level 2 ship 8 squad \"Red Aces\" ident 40 at 100 -20 score 5 -7 carrying 2\n"
              "> join \"Mr Bob\"\n"
              "> move \"mr bob\" 16383 16383\n"
              "> flag 1023 0\n"
              "> players\n"
              "Alice: ident 40, level 2, team 3, ship 8 (spectator), at 100 -20 (A1), carrying 2, scores 5 -7, "
              "squad Red Aces\n"
              "Mr Bob: ident 1, level 0, team 0, ship 0, at 16383 16383 (T20), carrying 0, scores 0 0\n"
              "flag at tile 1023 0 (T1)\n"
              "> leave ALICE\n"
              "> flag clear\n"
              "> players\n"
              "Mr Bob: ident 1, level 0, team 0, ship 0, at 16383 16383 (T20), carrying 0, scores 0 0\n"
              "no uncarried flags\n");
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

TEST_F(Arena, AScriptCanComeFromStandardInput) {
    const ProgramRun run = runKadrel("arena -", "init 5.0\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "> init 5.0\n[echo] DLL plugin cannot connect.  This plugin requires the latest version of Quorlen.\n");
}

TEST_F(Arena, HelpListsEveryStep) {
    const ProgramRun run = play("help\n");
    for (const char* usage : {"join NAME", "leave NAME", "move NAME X Y", "carry NAME N", "team NAME N",
                              "ship NAME N", "level NAME N", "squad NAME", "score NAME S1", "prize NAME TYPE",
                              "flagwin TEAM", "goal TEAM", "flag TILE-X TILE-Y", "tick [N]", "init [MAJOR.MINOR]",
                              "term", "players", "NAME kills NAME", "NAME: !WORD [PARAMETERS]"}) {
        EXPECT_NE(run.out.find(std::string("  ") + usage), std::string::npos) << usage;
    }
}

TEST_F(Arena, AMissingLibraryIsReported) {
    scratch.write("match.arena", "init\n");
    const ProgramRun run = runKadrel("arena --library ./nowhere.so match.arena");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot load the plug-in"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kadrel::testing
