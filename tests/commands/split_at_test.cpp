// splitAt, which the credit commands use with a colon and the shop with a
// blank.
#include <gtest/gtest.h>

#include <string>

#include "commands/split_at.h"

namespace kadrel {
namespace {

struct SplitCase {
    std::string text;
    char separator;
    std::string head;
    std::string rest;
};

class SplitAt : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitAt, GivesTheTrimmedHeadAndLeavesTheTrimmedRest) {
    CharString text(GetParam().text.data(), static_cast<uint32_t>(GetParam().text.size()));
    const CharString head = splitAt(text, GetParam().separator);
    EXPECT_EQ(std::string(head.text(), head.size()), GetParam().head);
    EXPECT_EQ(std::string(text.text(), text.size()), GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitAt,
    ::testing::Values(SplitCase{"Bob:50", ':', "Bob", "50"}, SplitCase{" Bob : 25 ", ':', "Bob", "25"},
                      SplitCase{"a:b:c", ':', "a", "b:c"}, SplitCase{":", ':', "", ""},
                      SplitCase{"   :   ", ':', "", ""}, SplitCase{":25", ':', "", "25"},
                      SplitCase{"Bob:", ':', "Bob", ""}, SplitCase{"Bob:\t5 ", ':', "Bob", "\t5"},
                      // Without the separator the text stays as it was, blanks included.
                      SplitCase{"Bob", ':', "Bob", "Bob"}, SplitCase{" Bob ", ':', "Bob", " Bob "},
                      SplitCase{"", ':', "", ""}, SplitCase{"   ", ':', "", "   "},
                      // At a blank, as the shop splits "<item> <rest>".
                      SplitCase{"3 extra words", ' ', "3", "extra words"}, SplitCase{" 3", ' ', "", "3"},
                      SplitCase{"3  x ", ' ', "3", "x"}, SplitCase{"3", ' ', "3", "3"},
                      SplitCase{"a\tb", ' ', "a\tb", "a\tb"}));

TEST(SplitAtLimit, KeepsAtMost32000BytesOfTheRest) {
    CharString text((std::string("name:") + std::string(40000, 'x')).c_str());
    EXPECT_EQ(std::string(splitAt(text, ':').text()), "name");
    EXPECT_EQ(text.size(), 32000u);
}

TEST(SplitAtLimit, CutsTheRestBeforeTrimmingIt) {
    CharString text((std::string("name:") + std::string(31999, 'x') + "  y").c_str());
    splitAt(text, ':');
    EXPECT_EQ(text.size(), 31999u) << "the blank at the cut is trimmed, the y beyond it is gone";
}

}  // namespace
}  // namespace kadrel
