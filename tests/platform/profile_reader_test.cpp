// One set of INI fixtures for both profile readers: on Windows builds (run
// under wine64) the system's GetPrivateProfileStringA answers, on POSIX
// builds the plug-in's own reader. Both must give the same values.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "scratch_dir.h"

namespace kadrel {
namespace {

struct ProfileCase {
    const char* title;
    std::string file;  // contents of the INI file
    const char* section;
    const char* key;
    uint32_t bufferSize;
    std::string expected;
};

const std::string longValue(250, 'v');

const ProfileCase cases[] = {
    {"plain key", "[Credits]\nKill=10\n", "Credits", "Kill", 192, "10"},
    {"section and key ignore case", "[credits]\nKILL=5\n", "Credits", "Kill", 192, "5"},
    {"blanks around names and values", "  [Credits]  \n   Kill   =   10   \n", "Credits", "Kill", 192, "10"},
    {"tabs around names and values", "[Credits]\n\tKill\t=\t10\t\n", "Credits", "Kill", 192, "10"},
    {"inner blanks kept", "[Item0]\nName=Super Shield  Pack\n", "Item0", "Name", 192, "Super Shield  Pack"},
    {"double quotes unwrapped", "[Item0]\nName=\"Super Shield\"\n", "Item0", "Name", 192, "Super Shield"},
    {"single quotes unwrapped", "[Item0]\nName='Shield'\n", "Item0", "Name", 192, "Shield"},
    {"empty quotes unwrapped", "[Item0]\nName=\"\"\n", "Item0", "Name", 192, ""},
    {"blanks inside quotes kept", "[Item0]\nName=\"  x  \"\n", "Item0", "Name", 192, "  x  "},
    {"unbalanced quote kept", "[Item0]\nName=\"Shield\n", "Item0", "Name", 192, "\"Shield"},
    {"mixed quotes kept", "[Item0]\nName=\"Shield'\n", "Item0", "Name", 192, "\"Shield'"},
    {"comment line ignored", "[Credits]\n;Kill=5\n", "Credits", "Kill", 192, ""},
    {"indented comment ignored", "[Credits]\n   ;Kill=5\nKill=7\n", "Credits", "Kill", 192, "7"},
    {"semicolon inside a value kept", "[Credits]\nKill=5 ; five\n", "Credits", "Kill", 192, "5 ; five"},
    {"first key wins", "[Credits]\nKill=1\nKill=2\n", "Credits", "Kill", 192, "1"},
    {"first key wins across case", "[Credits]\nkill=1\nKILL=2\n", "Credits", "Kill", 192, "1"},
    {"first section wins", "[Credits]\nKill=1\n[Credits]\nKill=2\n", "Credits", "Kill", 192, "1"},
    {"value cut to the buffer", "[Item0]\nDescription=" + longValue + "\n", "Item0", "Description", 192,
     std::string(191, 'v')},
    {"value cut to a two-byte buffer", "[Credits]\nCanGoNegative=yes\n", "Credits", "CanGoNegative", 3, "ye"},
    {"missing section", "[Other]\nKill=1\n", "Credits", "Kill", 192, ""},
    {"missing key", "[Credits]\nKilled=1\n", "Credits", "Kill", 192, ""},
    {"key of another section", "[Credits]\n[Other]\nKill=1\n", "Credits", "Kill", 192, ""},
    {"empty value", "[Credits]\nKill=\n", "Credits", "Kill", 192, ""},
    {"blank value", "[Credits]\nKill=   \n", "Credits", "Kill", 192, ""},
    {"windows line ends", "[Credits]\r\nKill=10\r\nKilled=-3\r\n", "Credits", "Killed", 192, "-3"},
    {"no line end at the end", "[Credits]\nKill=10", "Credits", "Kill", 192, "10"},
    {"equals sign inside a value", "[Item0]\nPubAction0=a=b\n", "Item0", "PubAction0", 192, "a=b"},
    {"key before any section", "Kill=3\n[Credits]\n", "Credits", "Kill", 192, ""},
    {"bytes above 0x7f kept", "[Item0]\nName=Caf\xe9\n", "Item0", "Name", 192, "Caf\xe9"},
    {"placeholders kept", "[Item0]\nPrivAction0=Hi %name% of %squad%\n", "Item0", "PrivAction0", 192,
     "Hi %name% of %squad%"},
    {"numbered section names", "[Item1]\nName=A\n[Item10]\nName=B\n", "Item1", "Name", 192, "A"},
    {"negative prize key", "[Credits]\nPrize-28=4\nPrize28=5\n", "Credits", "Prize-28", 192, "4"},
    {"UTF-8 byte-order mark before the first section", "\xEF\xBB\xBF[Credits]\r\nKill=10\r\n", "Credits", "Kill", 192,
     "10"},
};

class ProfileReader : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileReader, GivesTheSystemReadersValue) {
    const ProfileCase& c = GetParam();
    testing::ScratchDir scratch;
    scratch.write("fixture.ini", c.file);
    const CharString value = platform::ProfileFile("fixture.ini").read(c.section, c.key, c.bufferSize);
    EXPECT_EQ(std::string(value.text(), value.size()), c.expected) << c.title;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ProfileReader, ::testing::ValuesIn(cases));

// Operators edit a file between two loads; a rewrite of the same size within
// one tick of the file clock must be read too.
TEST(ProfileReaderFile, ChangedFileIsReadAgain) {
    testing::ScratchDir scratch;
    for (const char* kill : {"1", "2", "22"}) {
        scratch.write("credits.ini", std::string("[Credits]\nKill=") + kill + "\n");
        EXPECT_STREQ(platform::ProfileFile("credits.ini").read("Credits", "Kill", 192).text(), kill);
    }
}

}  // namespace
}  // namespace kadrel
