#include <gtest/gtest.h>

#include <string>

#include "core/char_string.h"

namespace kadrel {
namespace {

std::string str(const CharString& s) {
    EXPECT_EQ(s.text()[s.size()], '\0') << "every string ends in a NUL right after its bytes";
    return std::string(s.text(), s.size());
}

TEST(CharString, ConstructionKeepsBytesAndTerminator) {
    EXPECT_EQ(str(CharString()), "");
    EXPECT_EQ(str(CharString("abc")), "abc");
    EXPECT_EQ(str(CharString("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(str(CharString(-2147483647 - 1)), "-2147483648");
    EXPECT_EQ(str(CharString(0)), "0");
    const CharString original("copy me");
    CharString copy(original);
    EXPECT_NE(copy.text(), original.text()) << "copies never share a buffer";
    EXPECT_EQ(str(copy), "copy me");
}

TEST(CharString, AssignAppendAndClear) {
    CharString s(">>middle");
    s.append("<<");
    s.appendNumber(-5);
    EXPECT_EQ(str(s), ">>middle<<-5");
    s.assign(s);
    EXPECT_EQ(str(s), ">>middle<<-5") << "assigning a string its own contents leaves it unchanged";
    s.assign(s.text() + 2, 6);
    EXPECT_EQ(str(s), "middle") << "assigning from its own buffer";
    s.append(s);
    EXPECT_EQ(str(s), "middlemiddle");
    s.clear();
    EXPECT_EQ(str(s), "");
}

TEST(CharString, MovedFromStringIsEmptyAndReusable) {
    CharString a("value");
    CharString b(std::move(a));
    EXPECT_EQ(str(b), "value");
    EXPECT_EQ(str(a), "");  // NOLINT: a moved-from string stays valid
    a.append("again");
    EXPECT_EQ(str(a), "again");
    b = std::move(a);
    EXPECT_EQ(str(b), "again");
}

struct CutCase {
    const char* text;
    const char* operation;
    uint32_t a;
    uint32_t b;
    const char* expected;
};

class CharStringCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(CharStringCut, GivesTheExpectedPiece) {
    const CutCase& c = GetParam();
    const CharString s(c.text);
    const std::string op = c.operation;
    CharString result;
    if (op == "left") result = s.left(c.a);
    if (op == "right") result = s.right(c.a);
    if (op == "mid") result = s.mid(c.a, c.b);
    if (op == "trimLeft") result = s.trimLeft();
    if (op == "trimRight") result = s.trimRight();
    if (op == "trim") result = s.trim();
    if (op == "padOrCut") result = s.padOrCut(c.a);
    EXPECT_EQ(str(result), c.expected) << op << "(" << c.text << ")";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharStringCut,
    ::testing::Values(CutCase{"abc", "left", 0, 0, ""}, CutCase{"abc", "left", 2, 0, "ab"},
                      CutCase{"abc", "left", 100, 0, "abc"}, CutCase{"abc", "right", 100, 0, "abc"},
                      CutCase{"abc", "right", 1, 0, "c"}, CutCase{"abc", "right", 0, 0, ""},
                      CutCase{"abc", "mid", 3, 1, ""}, CutCase{"abc", "mid", 4, 1, ""},
                      CutCase{"abc", "mid", 1, 100, "bc"}, CutCase{"abc", "mid", 1, 1, "b"},
                      CutCase{"abc", "mid", 0, 0, ""}, CutCase{"", "trimRight", 0, 0, ""},
                      CutCase{"   ", "trimRight", 0, 0, ""}, CutCase{"   ", "trimLeft", 0, 0, ""},
                      CutCase{"  a b  ", "trim", 0, 0, "a b"}, CutCase{"\ta ", "trim", 0, 0, "\ta"},
                      CutCase{" x ", "trimLeft", 0, 0, "x "}, CutCase{" x ", "trimRight", 0, 0, " x"},
                      CutCase{"ab", "padOrCut", 5, 0, "ab   "}, CutCase{"abcdefg", "padOrCut", 5, 0, "abcde"},
                      CutCase{"abcde", "padOrCut", 5, 0, "abcde"}, CutCase{"", "padOrCut", 0, 0, ""},
                      CutCase{"", "padOrCut", 2, 0, "  "}));

TEST(CharString, EqualsNoCaseFoldsOnlyAsciiCapitals) {
    EXPECT_TRUE(CharString("Bob").equalsNoCase("bOB"));
    EXPECT_FALSE(CharString("Bob").equalsNoCase("Bobby"));
    EXPECT_FALSE(CharString("Bobby").equalsNoCase(CharString("Bob")));
    EXPECT_FALSE(CharString("[").equalsNoCase("{"));
    EXPECT_FALSE(CharString("\xC4").equalsNoCase("\xE4")) << "bytes from 0x80 up are not folded";
    EXPECT_TRUE(CharString("").equalsNoCase(CharString("")));
}

}  // namespace
}  // namespace kadrel
