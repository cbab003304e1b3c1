// The placeholders of the chat-line templates, filled with the buyer's
// details.
#include "bot_session.h"

namespace kadrel::testing {
namespace {

class Templates : public BotSession {
protected:
    // The line that a template sends, privately and publicly alike.
    std::string filled(const PlayerRecord& buyer, const std::string& pattern, std::string_view argument = "shield") {
        load("[Item1]\nName=Shield\nPrivAction0=" + pattern + "\nPubAction0=" + pattern + "\n");
        const Texts lines = buy(buyer, argument);
        EXPECT_TRUE(lines.size() == 2 && lines[0] == lines[1]) << pattern;
        return lines.empty() ? "" : lines[0];
    }
};

// Placeholders are claimed left to right, one kind after the other, where no
// earlier claim lies; only the exact lower-case names are placeholders.
TEST_F(Templates, FillEachPlaceholder) {
    PlayerRecord buyer("Bob", 3, 0, 7);
    buyer.squad("Red Wing").scores(1200, 34);
    const struct {
        const char* pattern;
        const char* argument;
        const char* line;
    } cases[] = {{"%name% and %name%", "shield", "Bob and Bob"},
                 {"%points% points", "shield", "1234 points"},
                 {"%squad%: freq %freq1% / %freq2%", "shield", "Red Wing: freq 7 / 7"},
                 {"[%param%]", "shield red team", "[red team]"},
                 {"[%param%]", "shield", "[shield]"},
                 {"%Name% %unknown% 100%", "shield", "%Name% %unknown% 100%"},
                 {"%%name%%", "shield", "%Bob%"},
                 {"%squad%name%", "shield", "%squadBob"},
                 {"%name%freq1%freq1%", "shield", "Bobfreq17"}};
    for (const auto& c : cases) EXPECT_EQ(filled(buyer, c.pattern, c.argument), c.line) << c.pattern;
}

TEST_F(Templates, PrivateFrequenciesAreHiddenByFreq1) {
    for (const auto& [team, line] : {std::pair<uint16_t, const char*>{99, "99|99"}, {100, "(Private freq)|100"},
                                     {65535, "(Private freq)|65535"}}) {
        EXPECT_EQ(filled(PlayerRecord("Bob", 3, 0, team), "%freq1%|%freq2%"), line);
    }
}

TEST_F(Templates, ValuesAreNeverSearchedForPlaceholders) {
    load("[Item1]\nName=Shield\nPrivAction0=%name%/%squad%/%param%\nPubAction0=%squad% says *points %param%\n");
    PlayerRecord buyer("%squad%%param%", 3);
    buyer.squad("%param%%name%");
    EXPECT_EQ(buy(buyer, "shield %name% %freq2%"),
              (Texts{"%squad%%param%/%param%%name%/%name% %freq2%", "%param%%name% says *points %name% %freq2%"}));
}

// Points are written unsigned; a squad is read within its field.
TEST_F(Templates, PointsAndSquadAsTheRecordHoldsThem) {
    PlayerRecord buyer("Bob", 3);
    buyer.scores(-1, 0);
    EXPECT_EQ(filled(buyer, "%points%"), "4294967295");
    buyer.scores(2147483647, 2);
    EXPECT_EQ(filled(buyer, "%points%"), "2147483649");
    EXPECT_EQ(filled(buyer, "<%squad%>"), "<>");
    buyer.squad(std::string(115, 's'));
    EXPECT_EQ(filled(buyer, "<%squad%>"), "<" + std::string(115, 's') + ">");
}

}  // namespace
}  // namespace kadrel::testing
