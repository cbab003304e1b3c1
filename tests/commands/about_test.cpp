// !about: the version with the build's date and time, the interface version
// and the authorship line.
#include <algorithm>
#include <iterator>
#include <string_view>

#include "command_fixture.h"

namespace kadrel::testing {
namespace {

const std::string versionPrefix = "\"Kadrel\" 1.14 compiled on ";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int twoDigits(char tens, char ones) { return isDigit(tens) && isDigit(ones) ? (tens - '0') * 10 + (ones - '0') : -1; }

// "Mmm dd yyyy hh:mm:ss": an English month abbreviation, the day with a blank
// in front of a single digit, the year, and a 24-hour time.
bool isBuildStamp(std::string_view stamp) {
    static const std::string_view months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (stamp.size() != 20) return false;
    if (std::find(std::begin(months), std::end(months), stamp.substr(0, 3)) == std::end(months)) return false;
    const int day = stamp[4] == ' ' ? (isDigit(stamp[5]) ? stamp[5] - '0' : -1) : twoDigits(stamp[4], stamp[5]);
    const bool dayFits = day >= 1 && day <= 31 && (stamp[4] == ' ') == (day < 10);
    const bool yearFits = std::all_of(stamp.begin() + 7, stamp.begin() + 11, isDigit);
    const int hours = twoDigits(stamp[12], stamp[13]);
    const int minutes = twoDigits(stamp[15], stamp[16]);
    const int seconds = twoDigits(stamp[18], stamp[19]);
    return stamp[3] == ' ' && dayFits && stamp[6] == ' ' && yearFits && stamp[11] == ' ' && hours >= 0 &&
           hours <= 23 && stamp[14] == ':' && minutes >= 0 && minutes <= 59 && stamp[17] == ':' && seconds >= 0 &&
           seconds <= 60;
}

bool isVersionLine(const std::string& line) {
    return line.starts_with(versionPrefix) && isBuildStamp(std::string_view(line).substr(versionPrefix.size()));
}

class About : public CommandTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(About, AnswersWithThreeLines) {
    const Texts lines = command(PlayerRecord("Asker", 12, GetParam()), "about");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(isVersionLine(lines[0])) << lines[0];
    EXPECT_EQ(lines[1], "DLL core version: 6.0");
    EXPECT_EQ(lines[2], "Written by the Kadrel developers");
}

INSTANTIATE_TEST_SUITE_P(Levels, About, ::testing::Values(0u, 1u, 12u));

TEST_F(CommandTest, AboutIgnoresItsParameterText) {
    const PlayerRecord asker("Asker", 12);
    const Texts plain = command(asker, "about");
    EXPECT_EQ(command(asker, "about", "Bob:5"), plain);
    EXPECT_EQ(command(asker, "about", "anything at all"), plain);
}

TEST(AboutFormat, TheCheckRefusesStampsOutOfShape) {
    for (const char* stamp : {"Dec 02 2023 00:00:00", "Dec 2 2023 00:00:00", "Dec  2 2023 24:00:00",
                              "dec  2 2023 00:00:00", "Dec 32 2023 00:00:00", "Dec  2 23 00:00:00",
                              "Dec  2 2023 0:00:00 ", "Dec  2 2023 00-00-00"}) {
        EXPECT_FALSE(isBuildStamp(stamp)) << stamp;
    }
    for (const char* stamp : {"Dec  2 2023 00:00:00", "Nov 14 2023 22:13:20", "Jan 31 1970 23:59:59"}) {
        EXPECT_TRUE(isBuildStamp(stamp)) << stamp;
    }
}

}  // namespace
}  // namespace kadrel::testing
