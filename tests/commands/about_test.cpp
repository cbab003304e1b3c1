// !about: the version with the build's date and time, the interface version
// and the authorship line, for anyone and whatever the parameter text.
#include <cctype>

#include "command_fixture.h"

namespace kadrel::testing {
namespace {

const std::string versionPrefix = "\"Kadrel\" 1.14 compiled on ";

// The stamp with its digits as 9 and its letters as A or a. The build_stamp
// test holds a reproducible build's stamp to its exact form.
std::string shapeOf(const std::string& stamp) {
    std::string shape;
    for (const char c : stamp) {
        const auto byte = static_cast<unsigned char>(c);
        shape += std::isdigit(byte) ? '9' : std::isupper(byte) ? 'A' : std::islower(byte) ? 'a' : c;
    }
    return shape;
}

TEST_F(CommandTest, AboutAnswersWithThreeLines) {
    const Texts lines = command(PlayerRecord("Asker", 12, 0), "about", "Bob:5");
    ASSERT_EQ(lines.size(), 3u);
    ASSERT_TRUE(lines[0].starts_with(versionPrefix)) << lines[0];
    const std::string shape = shapeOf(lines[0].substr(versionPrefix.size()));
    EXPECT_TRUE(shape == "Aaa 99 9999 99:99:99" || shape == "Aaa  9 9999 99:99:99") << lines[0];
    EXPECT_EQ(lines[1], "DLL core version: 6.0");
    EXPECT_EQ(lines[2], "Written by the Kadrel developers");
    EXPECT_EQ(command(oper, "about"), lines);
}

}  // namespace
}  // namespace kadrel::testing
