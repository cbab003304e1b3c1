#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

namespace kadrel {
namespace {

std::string str(const CharString& s) { return std::string(s.text(), s.size()); }

TEST(Text, ToLowerAsciiFoldsExactlyTheCapitals) {
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const char expected = (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte + 32) : c;
        EXPECT_EQ(toLowerAscii(c), expected) << byte;
    }
}

TEST(Text, IsNumeric) {
    for (const char* yes : {"0", "42", "-7", "007", "-0", "99999999999999999999"}) EXPECT_TRUE(isNumeric(yes)) << yes;
    for (const char* no : {"", "-", "+5", " 5", "5 ", "--5", "1.5", "0x10", "5-", "\xB9"}) {
        EXPECT_FALSE(isNumeric(no)) << no;
    }
}

struct ParseCase {
    const char* text;
    int32_t base;
    int32_t expected;
};

class ParseInteger : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseInteger, WrapsAtThirtyTwoBits) {
    EXPECT_EQ(parseInteger(GetParam().text, GetParam().base), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, ParseInteger,
                         ::testing::Values(ParseCase{"0", 10, 0}, ParseCase{"42", 10, 42}, ParseCase{"-7", 10, -7},
                                           ParseCase{"", 10, 0}, ParseCase{"-", 10, 0}, ParseCase{"-0", 10, 0},
                                           ParseCase{"2147483647", 10, 2147483647},
                                           ParseCase{"2147483648", 10, -2147483647 - 1},
                                           ParseCase{"-2147483648", 10, -2147483647 - 1},
                                           ParseCase{"4294967296", 10, 0}, ParseCase{"4294967297", 10, 1},
                                           ParseCase{"4294967295", 10, -1}, ParseCase{"ff", 16, 255},
                                           ParseCase{"FF", 16, 255}, ParseCase{"z", 36, 35},
                                           ParseCase{"1a", 10, 20}));  // 'a' still counts as 10

TEST(Text, IsNumericInRangeRefusesWhatWouldWrap) {
    for (const char* yes : {"0", "-0", "2147483647", "-2147483648", "0002147483647", "-00002147483648"}) {
        EXPECT_TRUE(isNumericInRange(yes)) << yes;
    }
    for (const char* no : {"2147483648", "-2147483649", "4294967296", "10000000000", "", "-", "+1"}) {
        EXPECT_FALSE(isNumericInRange(no)) << no;
    }
}

struct FormatCase {
    uint32_t value;
    uint32_t base;
    uint16_t width;
    bool sign;
    const char* expected;
};

class FormatNumber : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumber, WritesTheDigits) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(str(formatNumber(c.value, c.base, c.width, c.sign)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FormatNumber,
                         ::testing::Values(FormatCase{0x80000000u, 10, 0, true, "-2147483648"},
                                           FormatCase{0x80000000u, 10, 0, false, "2147483648"},
                                           FormatCase{0, 10, 0, true, "0"}, FormatCase{0, 10, 3, true, "000"},
                                           FormatCase{static_cast<uint32_t>(-5), 10, 3, true, "-005"},
                                           FormatCase{0xFFFFFFFFu, 10, 0, false, "4294967295"},
                                           FormatCase{0xFFFFFFFFu, 10, 0, true, "-1"},
                                           FormatCase{0x7FFFFFFFu, 10, 0, true, "2147483647"},
                                           FormatCase{255, 16, 0, false, "ff"}, FormatCase{31, 32, 0, false, "v"},
                                           FormatCase{5, 2, 8, false, "00000101"},
                                           FormatCase{0xFFFFFFFFu, 2, 32, false, "11111111111111111111111111111111"}));

TEST(Text, FindText) {
    EXPECT_EQ(findText("a", "ab"), -1);
    EXPECT_EQ(findText("abab", "ab"), 0);
    EXPECT_EQ(findText("xxab", "ab"), 2);
    EXPECT_EQ(findText("aB", "ab"), -1) << "matching is case-sensitive";
    EXPECT_EQ(findText("abc", "abc"), 0);
    EXPECT_EQ(findText("", "x"), -1);
}

TEST(Text, ReplaceAll) {
    EXPECT_EQ(str(replaceAll("%name% and %name%", "%name%", "Bob")), "Bob and Bob");
    EXPECT_EQ(str(replaceAll("%name%!", "%name%", "<%name%>")), "<%name%>!") << "inserted text is not searched again";
    EXPECT_EQ(str(replaceAll("aaa", "aa", "b")), "ba") << "matches do not overlap";
    EXPECT_EQ(str(replaceAll("no match", "%x%", "y")), "no match");
    EXPECT_EQ(str(replaceAll("%NAME%", "%name%", "Bob")), "%NAME%");
    EXPECT_EQ(str(replaceAll("", "%name%", "Bob")), "");
    EXPECT_EQ(str(replaceAll("xx", "x", "")), "");
}

TEST(Text, EqualsNoCase) {
    EXPECT_TRUE(equalsNoCase("Bob", "bOB"));
    EXPECT_FALSE(equalsNoCase("Bob", "Bobby"));
    EXPECT_FALSE(equalsNoCase("Bobby", "Bob"));
    EXPECT_FALSE(equalsNoCase("[", "{"));
    EXPECT_TRUE(equalsNoCase("", ""));
}

}  // namespace
}  // namespace kadrel
