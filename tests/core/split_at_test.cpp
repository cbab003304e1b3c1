// splitAt, which the credit commands use with a colon and the shop with a
// blank.
#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

namespace kadrel {
namespace {

TEST(SplitAt, GivesTheTrimmedHeadAndLeavesTheTrimmedRest) {
    const struct {
        std::string text;
        char separator;
        std::string head;
        std::string rest;
    } cases[] = {{"Bob:50", ':', "Bob", "50"}, {" Bob : 25 ", ':', "Bob", "25"}, {"a:b:c", ':', "a", "b:c"},
                 {":", ':', "", ""}, {"Bob:\t5 ", ':', "Bob", "\t5"}, {"3  x ", ' ', "3", "x"},
                 // Without the separator the text stays as it was, blanks included.
                 {" Bob ", ':', "Bob", " Bob "}, {"a\tb", ' ', "a\tb", "a\tb"}};
    for (const auto& c : cases) {
        CharString text(c.text.data(), static_cast<uint32_t>(c.text.size()));
        const CharString head = splitAt(text, c.separator);
        EXPECT_EQ(std::string(head.text(), head.size()), c.head) << c.text;
        EXPECT_EQ(std::string(text.text(), text.size()), c.rest) << c.text;
    }
}

// The rest is cut to 32000 bytes before it is trimmed.
TEST(SplitAt, KeepsAtMost32000BytesOfTheRest) {
    CharString text((std::string("name:") + std::string(40000, 'x')).c_str());
    EXPECT_EQ(std::string(splitAt(text, ':').text()), "name");
    EXPECT_EQ(text.size(), 32000u);
    text = CharString((std::string("name:") + std::string(31999, 'x') + "  y").c_str());
    splitAt(text, ':');
    EXPECT_EQ(text.size(), 31999u) << "the blank at the cut is trimmed, the y beyond it is gone";
}

}  // namespace
}  // namespace kadrel
