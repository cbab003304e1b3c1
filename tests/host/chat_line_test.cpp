// appendPlayerText, through which every text a player chose reaches a chat
// line: a leading '*' would make the server carry the line out as a command.
#include <gtest/gtest.h>

#include <string>

#include "host/chat_line.h"

namespace kadrel {
namespace {

TEST(ChatLine, PlayerTextNeverOpensALineWithAStar) {
    const struct {
        const char* line;
        const char* text;
        const char* result;
    } cases[] = {{"", "*Bob", "Bob"},  {"", "**Bob", "Bob"}, {"", " *Bob", " *Bob"}, {"", "*", ""},
                 {"", "Bob*", "Bob*"}, {"x", "*y", "x*y"},   {"*", "*y", "**y"}};
    for (const auto& c : cases) {
        CharString line(c.line);
        appendPlayerText(line, CharString(c.text));
        EXPECT_EQ(std::string(line.text()), c.result) << c.line << '|' << c.text;
    }
}

}  // namespace
}  // namespace kadrel
