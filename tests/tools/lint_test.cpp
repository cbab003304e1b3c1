// kadrel lint on INI files with one kind of mistake each.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "run_program.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

struct LintCase {
    const char* what;
    const char* buyIni;
    const char* creditsIni;
    int status;
    const char* report;
};

class Lint : public ::testing::TestWithParam<LintCase> {};

TEST_P(Lint, Reports) {
    const LintCase& example = GetParam();
    ScratchDir scratch;
    scratch.write("buy.ini", example.buyIni);
    scratch.write("credits.ini", example.creditsIni);
    const ProgramRun run = runKadrel("lint");
    EXPECT_EQ(run.status, example.status) << run.err;
    EXPECT_EQ(run.out, example.report);
}

constexpr const char* soundCredits = "[Credits]\nKill=10\n";
constexpr const char* soundShop = "[Item0]\nName=Shield\nValue=10\n";

const LintCase cases[] = {
    {"sound files", soundShop, soundCredits, 0, "0 errors, 0 warnings\n"},
    {"names the plug-in cuts",
     "[Item0]\nName=Super Shield\n[Item1]\nName=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n", soundCredits, 0,
     "buy.ini [Item0] Name: warning: the item is called \"Super\": the plug-in keeps the first 20 characters and, "
     "of those, the first word\n"
     "buy.ini [Item1] Name: warning: the item is called \"ABCDEFGHIJKLMNOPQRST\": the plug-in keeps the first 20 "
     "characters and, of those, the first word\n"
     "0 errors, 2 warnings\n"},
    {"values the plug-in cuts",
     "[Item0]\nName=Shield\nDescription="
     "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789\n",
     soundCredits, 0,
     "buy.ini [Item0] Description: warning: the value is cut to its first 191 characters\n0 errors, 1 warning\n"},
    {"unknown placeholders",
     "[Item0]\nName=Shout\nPubAction0=%Name% shouts 100% of %param% to %team%\nDescription=For %name%\n",
     soundCredits, 0,
     "buy.ini [Item0] PubAction0: warning: unknown placeholder %Name%, sent as written (the plug-in replaces "
     "%name% %points% %squad% %freq1% %freq2% %param%, in lower case)\n"
     "buy.ini [Item0] PubAction0: warning: unknown placeholder %team%, sent as written (the plug-in replaces "
     "%name% %points% %squad% %freq1% %freq2% %param%, in lower case)\n"
     "buy.ini [Item0] Description: warning: the listing shows the description as written: placeholders are "
     "replaced only in the actions\n"
     "0 errors, 3 warnings\n"},
    {"lines that begin with the buyer's text",
     "[Item0]\nName=Shout\nPubAction0=%param%\nPrivAction3=%name% bought it\nPubAction1=By %squad%\n", soundCredits,
     0,
     "buy.ini [Item0] PrivAction3: warning: the line begins with %name%, text the buyer chose: the plug-in drops the "
     "'*' characters it begins with, so that a buyer cannot make the bot send a server command\n"
     "buy.ini [Item0] PubAction0: warning: the line begins with %param%, text the buyer chose: the plug-in drops the "
     "'*' characters it begins with, so that a buyer cannot make the bot send a server command\n"
     "0 errors, 2 warnings\n"},
    {"keys and sections the plug-in never reads",
     "[Item0]\nName=Shield\nPrivAction10=hi\nDecsription=x\nPubAction=y\nName=Again\n[Item007]\nName=A\n"
     "[Item256]\nName=B\n[Item00000000000000000000001]\nName=E\n[Shop]\nName=C\n[item0]\nName=D\n",
     "[Credits]\nKills=5\nPrize07=1\nKill=1\nkill=2\n[Credit]\nKill=3\n", 0,
     "buy.ini [Item0] PrivAction10: warning: the plug-in never reads this key; did you mean PrivAction0?\n"
     "buy.ini [Item0] Decsription: warning: the plug-in never reads this key; did you mean Description?\n"
     "buy.ini [Item0] PubAction: warning: the plug-in never reads this key; did you mean PubAction0?\n"
     "buy.ini [Item0] Name: warning: never read: an earlier Name in this section is the one read\n"
     "buy.ini [Item007]: warning: never read: item numbers are written without leading zeros (Item7)\n"
     "buy.ini [Item256]: warning: never read: item numbers run from 0 to 255\n"
     "buy.ini [Item00000000000000000000001]: warning: never read: item numbers are written without leading zeros "
     "(Item1)\n"
     "buy.ini [Shop]: warning: never read: the plug-in reads only the sections Item0 to Item255\n"
     "buy.ini [item0]: warning: never read: an earlier [item0] is the one read\n"
     "credits.ini [Credits] Kills: warning: the plug-in never reads this key; did you mean Kill?\n"
     "credits.ini [Credits] Prize07: warning: the plug-in never reads this key: prize keys run from Prize-28 to "
     "Prize28, written without leading zeros or a plus\n"
     "credits.ini [Credits] kill: warning: never read: an earlier kill in this section is the one read\n"
     "credits.ini [Credit]: warning: never read: the plug-in reads only the section Credits\n"
     "0 errors, 13 warnings\n"},
    {"reward values that pay 0",
     soundShop, "[Credits]\nKill=+10\nPrize3=abc\nKilled=4294967306\nPrize4=\n", 0,
     "credits.ini [Credits] Kill: warning: \"+10\" is not a whole number (an optional - and digits only): the "
     "plug-in takes 0\n"
     "credits.ini [Credits] Prize3: warning: \"abc\" is not a whole number (an optional - and digits only): the "
     "plug-in takes 0; leave the value empty to keep the AnyPrize amount\n"
     "credits.ini [Credits] Killed: warning: \"4294967306\" does not fit 32 bits: the plug-in takes 0\n"
     "0 errors, 3 warnings\n"},
    {"entries the plug-in rejects",
     "[Item0]\nName=Shield\nValue=5x\n[Item1]\nName=Flags\nSpecialAction4=abc\nSpecialPoints=x\n"
     "[Item2]\nName=Big\nValue=2147483648\n[Item3]\nName=Fine\nValue=-5\nSpecialPoints=007\n",
     soundCredits, 1,
     "buy.ini [Item0] Value: error: \"5x\" is not a whole number (an optional - and digits only): the plug-in "
     "says \"Invalid buy.ini entry: 0\" and drops the item\n"
     "buy.ini [Item1] SpecialAction4: error: \"abc\" is not a whole number (an optional - and digits only): the "
     "plug-in says \"Invalid buy.ini entry: 1\" and drops the item\n"
     "buy.ini [Item1] SpecialPoints: error: \"x\" is not a whole number (an optional - and digits only): the "
     "plug-in says \"Invalid buy.ini entry: 1\" and drops the item\n"
     "buy.ini [Item2] Value: error: 2147483648 does not fit 32 bits: the plug-in says \"Invalid buy.ini entry: 2\" "
     "and drops the item\n"
     "4 errors, 0 warnings\n"},
    {"items never bought",
     "[Item0]\nName=Shield\n[Item1]\nName=Radar\nValue=x\n[Item2]\nName=radar\n[Item3]\nName=SHIELD\n", soundCredits,
     1,
     "buy.ini [Item1] Value: error: \"x\" is not a whole number (an optional - and digits only): the plug-in says "
     "\"Invalid buy.ini entry: 1\" and drops the item\n"
     "buy.ini [Item3] Name: warning: never bought: [Item0] is also called \"Shield\" and !buy finds it first\n"
     "1 error, 1 warning\n"},
    // Which codes are known is the shop's to tell.
    {"unknown special action codes",
     "[Item0]\nName=Odd\nSpecialAction0=19\nSpecialAction1=25\nSpecialAction9=-1\n",
     soundCredits, 0,
     "buy.ini [Item0] SpecialAction0: warning: no special action has the code 19: buying the item answers \"The "
     "specified item has invalid data\" (codes are 0-18, 20, 21, 24 and 25)\n"
     "buy.ini [Item0] SpecialAction9: warning: no special action has the code -1: buying the item answers \"The "
     "specified item has invalid data\" (codes are 0-18, 20, 21, 24 and 25)\n"
     "0 errors, 2 warnings\n"},
    {"empty files", "", "", 0, "credits.ini: warning: no [Credits] section: every reward is 0\n0 errors, 1 warning\n"},
    {"lines the reader passes over",
     "Value=3\r\n; the shop\r\n\r\n[Item0]\r\nName=Shield\r\nValue: 10\r\n[Item1\r\nValue=4\r\n",
     "[Credits]\nKill 5\nKilled=-1\n", 0,
     "buy.ini: warning: line 1 is never read: \"Value=3\" comes before any [section]\n"
     "buy.ini: warning: line 6 is never read: \"Value: 10\" has no = between a key and its value\n"
     "buy.ini: warning: line 7 is never read: \"[Item1\" opens a section name without closing it with ]\n"
     "credits.ini: warning: line 2 is never read: \"Kill 5\" has no = between a key and its value\n"
     "0 errors, 4 warnings\n"},
    {"a section without a name", "[Item0]\nValue=5\n", soundCredits, 0,
     "buy.ini [Item0]: warning: no Name, so the plug-in skips this section\n0 errors, 1 warning\n"},
};

std::string caseName(const ::testing::TestParamInfo<LintCase>& info) {
    std::string name;
    for (const char* at = info.param.what; *at != '\0'; ++at) name += std::isalnum(static_cast<unsigned char>(*at)) ? *at : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Mistakes, Lint, ::testing::ValuesIn(cases), caseName);

// A file that is a folder cannot be read either; a folder given on the
// command line is where the files are looked for.
TEST(LintFiles, MissingFilesAreReported) {
    ScratchDir scratch;
    std::filesystem::create_directories("bot/buy.ini");
    const ProgramRun run = runKadrel("lint bot");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "buy.ini: warning: cannot be read: the shop has nothing to buy\n"
              "credits.ini: warning: cannot be read: every reward is 0\n"
              "0 errors, 2 warnings\n");
    EXPECT_EQ(runKadrel("lint nowhere").status, 2);
}

TEST(LintFiles, ShowsWhatThePluginLoaded) {
    ScratchDir scratch;
    scratch.write("buy.ini",
                  "[Item0]\nName=Shield\nValue=250\nSpecialAction0=13\nSpecialAction4=3\nSpecialPoints=1000\n"
                  "[Item7]\nName=Rules\n");
    scratch.write("credits.ini", "[Credits]\nKill=10\nKilled=-2\nAnyPrize=1\nPrize3=20\nPrize-28=abc\n");
    const ProgramRun run = runKadrel("lint --show");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "credits.ini [Credits] Prize-28: warning: \"abc\" is not a whole number (an optional - and digits only): "
              "the plug-in takes 0; leave the value empty to keep the AnyPrize amount\n"
              "The shop as the plug-in loaded it:\n"
              "  Shield, 250 credits, special actions 13 3, needs 1000 points\n"
              "  Rules, 0 credits\n"
              "Rewards: Kill 10, Killed -2, TeamKill 0, TeamKilled 0, FlagVictoryTeam 0, FlagVictoryEnemy 0, "
              "SoccerGoalTeam 0, SoccerGoalEnemy 0\n"
              "Prizes: 1 for every type, 0 for type -28, 20 for type 3\n"
              "0 errors, 1 warning\n");
}

}  // namespace
}  // namespace kadrel::testing
