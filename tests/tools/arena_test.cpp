// kadrel arena: scripts played against the real plug-in, transcripts compared
// line for line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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

// Command words and parameter texts reach the plug-in exactly as typed, blanks
// included, with each player's access level.
TEST_F(Arena, CommandsReachThePluginAsTyped) {
    const ProgramRun run = play(
        "init\n"
        "join Op level 1\n"
        "join Ann\n"
        "join Zed level 13\n"
        "Op: !help\n"
        "Ann: !help\n"
        "Zed: !help\n"
        "Ann: !help CREDS\n"
        "Ann: !help cget\n"
        "Op: !cgive Ann:100\n"
        "Ann: !cgive Ann:100\n"
        "Op: !cget Ann\n"
        "Op: !cget Ann \n"
        "Ann: !donate  Op : 25 \n"
        "Ann: !donate Op\n"
        "Ann: !creds\n"
        "Zed: !creds\n"
        "Ann: !Creds\n"
        "Op: !creset\n"
        "Ann: !creds\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "> init\n"
              "[echo] DLL plugin connected.\n"
              "[echo] Loading data...\n"
              "[echo] Data loaded\n"
              "> join Op level 1\n"
              "> join Ann\n"
              "> join Zed level 13\n"
              "> Op: !help\n"
              "[private to Op] !cgive, !ctake !cget !creset\n"
              "[private to Op] !about !creds !buy !donate\n"
              "> Ann: !help\n"
              "[private to Ann] !about !creds !buy !donate\n"
              "> Zed: !help\n"
              "> Ann: !help CREDS\n"
              "[private to Ann] !creds\n"
              "[private to Ann] Syntax: !creds\n"
              "[private to Ann] Displays how many credits you have\n"
              "> Ann: !help cget\n"
              "> Op: !cgive Ann:100\n"
              "[private to Op] Credits added\n"
              "> Ann: !cgive Ann:100\n"
              "> Op: !cget Ann\n"
              "[private to Op] Ann has 100 credits\n"
              "> Op: !cget Ann \n"
              "[private to Op] Ann  has 0 credits\n"
              "> Ann: !donate  Op : 25 \n"
              "[private to Ann] 25 credits donated to Op\n"
              "> Ann: !donate Op\n"
              "[private to Ann] Invalid syntax\n"
              "> Ann: !creds\n"
              "[private to Ann] You have 75 credits\n"
              "> Zed: !creds\n"
              "> Ann: !Creds\n"
              "> Op: !creset\n"
              "[private to Op] All credits have been cleared\n"
              "> Ann: !creds\n"
              "[private to Ann] You have never had any credits\n");
}

// Kills, prizes, flag games and goals reach the right players' accounts, and
// the bank file that term writes holds them.
TEST_F(Arena, GameEventsPayIntoTheBankFile) {
    scratch.write("credits.ini",
                  "[Credits]\nKill=10\nKilled=-1\nTeamKill=-20\nTeamKilled=2\nFlagVictoryTeam=100\n"
                  "FlagVictoryEnemy=7\nSoccerGoalTeam=30\nSoccerGoalEnemy=3\nAnyPrize=1\nPrize5=50\nPrize-5=-4\n");
    const ProgramRun run = play(
        "init\n"
        "join Alice team 1\n"
        "join Bob team 2\n"
        "join Carol team 2\n"
        "Alice kills Bob\n"
        "Carol kills Bob\n"
        "prize Alice 5\n"
        "prize Bob -5\n"
        "prize Carol 28\n"
        "flagwin 2\n"
        "goal 1\n"
        "team Carol 1\n"
        "goal 1\n"
        "term\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(runKadrel("bank list").out,
              "record  name                     credits\n"
              "     0  Alice                         127\n"     // 10 + 50 + 7 + 30 + 30
              "     1  Bob                           103\n"     // -1 + 2 - 4 + 100 + 3 + 3
              "     2  Carol                         114\n");  // -20 + 1 + 100 + 3 + 30
}

// The plug-in sets a damaged bank aside; the bank tool mends the copy.
TEST_F(Arena, ADamagedBankSetAsideByThePluginCanBeRepaired) {
    scratch.write("Quorlen.bank", std::string("Alice\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\xfa\0\0\0xx", 26));
    EXPECT_EQ(play("init\n").out,
              "> init\n"
              "[echo] DLL plugin connected.\n"
              "[echo] Loading data...\n"
              "[echo] Quorlen.bank is damaged; it was moved to Quorlen.bank.damaged\n"
              "[echo] Data loaded\n");
    const ProgramRun repair = runKadrel("bank Quorlen.bank.damaged check --repair");
    EXPECT_EQ(repair.status, 0) << repair.err;
    EXPECT_EQ(runKadrel("bank Quorlen.bank.damaged get alice").out, "Alice has 250 credits\n");
}

// Every field of the host's player record that the shop reads (ident, squad,
// team, scores, ship, position, flags carried) and both host lists, as the
// arena builds them, through purchases that need no credits.
TEST_F(Arena, ShopPurchasesReadTheArenasRecords) {
    scratch.write("buy.ini",
                  "[Item0]\n"
                  "Name=Free\n"
                  "Description=Costs nothing\n"
                  "PrivAction0=Hello %name% of %squad%, team %freq1%/%freq2%, %points% points, asked for %param%\n"
                  "PubAction3=%name% took a free one\n"
                  "SpecialAction0=3\n"
                  "SpecialAction1=9\n"
                  "SpecialAction2=19\n"
                  "[Item1]\n"
                  "Name=Where\n"
                  "Value=-10\n"
                  "SpecialAction0=15\n"
                  "SpecialAction1=10\n"
                  "[Item2]\n"
                  "Name=Resets\n"
                  "SpecialAction0=20\n"
                  "SpecialAction1=21\n"
                  "SpecialAction2=24\n"
                  "SpecialAction3=25\n"
                  "[Item3]\n"
                  "Name=Elite\n"
                  "SpecialPoints=500\n"
                  "PrivAction0=Welcome\n");
    const ProgramRun run = play(
        "init\n"
        "join Alice team 1 squad Aces at 4000 8000 score 300 100\n"
        "join Bob team 2 at 12000 3000 carrying 2\n"
        "join Carol team 100 ship 8 squad \"Big Owls\"\n"
        "flag 0 0\n"
        "flag 1023 1023\n"
        "Alice: !buy\n"
        "Alice: !buy free  the red  one \n"
        "Carol: !buy FREE\n"
        "Bob: !buy where\n"
        "Alice: !buy resets\n"
        "Alice: !buy elite\n"
        "score Alice 400 100\n"
        "Alice: !buy elite\n"
        "Alice: !buy Fre\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "> init\n"
              "[echo] DLL plugin connected.\n"
              "[echo] Loading data...\n"
              "[echo] Data loaded\n"
              "> join Alice team 1 squad Aces at 4000 8000 score 300 100\n"
              "> join Bob team 2 at 12000 3000 carrying 2\n"
              "> join Carol team 100 ship 8 squad \"Big Owls\"\n"
              "> flag 0 0\n"
              "> flag 1023 1023\n"
              "> Alice: !buy\n"
              "[private to Alice] Item name            Price          Description\n"
              "[private to Alice] Free                 0              Costs nothing\n"
              "[private to Alice] Where                -10            \n"
              "[private to Alice] Resets               0              \n"
              "[private to Alice] Elite                0              \n"
              "[private to Alice] Type !buy <item name> to buy something\n"
              "> Alice: !buy free  the red  one \n"
              "[private to Alice] Hello Alice of Aces, team 1/1, 400 points, asked for the red  one\n"
              "[public] Alice took a free one\n"
              "[private to Alice] Bob @ O4 is carrying 2 flags\n"
              "[private to Alice] A1 T20\n"
              "[team 1] Display bought by Alice\n"
              "[team 1] Bob @ O4 is carrying 2 flags\n"
              "[team 1] A1 T20\n"
              "[private to Alice] The specified item has invalid data\n"
              "> Carol: !buy FREE\n"
              "[private to Carol] Hello Carol of Big Owls, team (Private freq)/100, 0 points, asked for FREE\n"
              "[public] Carol took a free one\n"
              "[private to Carol] Bob @ O4 is carrying 2 flags\n"
              "[private to Carol] A1 T20\n"
              "[team 100] Display bought by Carol\n"
              "[team 100] Bob @ O4 is carrying 2 flags\n"
              "[team 100] A1 T20\n"
              "[private to Carol] The specified item has invalid data\n"
              "> Bob: !buy where\n"
              "[public] Display bought by Bob\n"
              "[public] Alice @ E10   Bob @ O4\n"
              "[private to Bob] Bob @ O4\n"
              "> Alice: !buy resets\n"
              "[team 1] *scorereset\n"
              "[private to Bob] *scorereset\n"
              "[private to Carol] *scorereset\n"
              "[team 1] *shipreset\n"
              "[private to Bob] *shipreset\n"
              "[private to Carol] *shipreset\n"
              "> Alice: !buy elite\n"
              "[private to Alice] You do not have enough points\n"
              "> score Alice 400 100\n"
              "> Alice: !buy elite\n"
              "[private to Alice] *points 500\n"
              "[private to Alice] Welcome\n"
              "> Alice: !buy Fre\n"
              "[private to Alice] Unknown item\n");
}

// The match that scripts/demo plays, with the example files an operator
// starts from; its transcript is kept beside this test.
TEST_F(Arena, TheDemoMatch) {
    const std::filesystem::path source = KADREL_SOURCE_DIR;
    for (const char* name : {"credits.ini", "buy.ini"}) std::filesystem::copy(source / "examples" / name, name);
    const ProgramRun run = runKadrel("arena '" + (source / "examples/demo.arena").string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    std::ifstream expected(source / "tests/tools/demo.transcript", std::ios::binary);
    EXPECT_EQ(run.out, std::string(std::istreambuf_iterator<char>(expected), std::istreambuf_iterator<char>()));
}

TEST_F(Arena, TheExampleFilesAreClean) {
    const std::filesystem::path examples = std::filesystem::path(KADREL_SOURCE_DIR) / "examples";
    const ProgramRun run = runKadrel("lint '" + examples.string() + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "0 errors, 0 warnings\n");
}

TEST_F(Arena, AMissingLibraryIsReported) {
    scratch.write("match.arena", "init\n");
    const ProgramRun run = runKadrel("arena --library ./nowhere.so match.arena");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot load the plug-in"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace kadrel::testing
