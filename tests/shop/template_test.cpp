// The placeholders of the chat-line templates, filled with the buyer's
// details.
#include "shop_fixture.h"

namespace kadrel::testing {
namespace {

struct TemplateCase {
    const char* pattern;
    const char* argument;
    const char* line;
};

class TemplateShop : public ShopTest {
protected:
    // One private and one public line from the same template.
    Texts bought(const PlayerRecord& buyer, const TemplateCase& c) {
        load(std::string("[Item1]\nName=Shield\nPrivAction0=") + c.pattern + "\nPubAction0=" + c.pattern + "\n");
        return buy(buyer, c.argument);
    }
};

class Templates : public TemplateShop, public ::testing::WithParamInterface<TemplateCase> {};

TEST_P(Templates, FillsEachPlaceholder) {
    PlayerRecord buyer("Bob", 3, 0, 7);
    buyer.squad("Red Wing").scores(1200, 34);
    EXPECT_EQ(bought(buyer, GetParam()), (Texts{GetParam().line, GetParam().line}));
    ASSERT_EQ(host.requests.size(), 2u);
    EXPECT_EQ(host.requests[0].mode(), 5u);
    EXPECT_EQ(host.requests[1].mode(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Placeholders, Templates,
    ::testing::Values(TemplateCase{"Thanks for buying, %name%", "shield", "Thanks for buying, Bob"},
                      TemplateCase{"%name% and %name%", "shield", "Bob and Bob"},
                      TemplateCase{"%points% points", "shield", "1234 points"},
                      TemplateCase{"%name% of %squad% bought a shield", "shield", "Bob of Red Wing bought a shield"},
                      TemplateCase{"freq %freq1% / %freq2%", "shield", "freq 7 / 7"},
                      TemplateCase{"[%param%]", "shield red team", "[red team]"},
                      TemplateCase{"[%param%]", "shield", "[shield]"}, TemplateCase{"[%param%]", "SHIELD", "[SHIELD]"},
                      TemplateCase{"[%param%]", "shield   red  team  ", "[red  team]"},
                      TemplateCase{"[%param%]", "shield ", "[]"},
                      TemplateCase{"no placeholders here", "shield", "no placeholders here"},
                      TemplateCase{"%Name% %unknown% 100%", "shield", "%Name% %unknown% 100%"},
                      TemplateCase{"%%name%%", "shield", "%Bob%"}, TemplateCase{"%squad%name%", "shield", "%squadBob"},
                      TemplateCase{"%name%freq1%freq1%", "shield", "Bobfreq17"},
                      TemplateCase{"*scorereset", "shield", "*scorereset"}));

struct TeamCase {
    uint16_t team;
    const char* line;
};

class Teams : public TemplateShop, public ::testing::WithParamInterface<TeamCase> {};

TEST_P(Teams, PrivateFrequenciesAreHiddenByFreq1) {
    const PlayerRecord buyer("Bob", 3, 0, GetParam().team);
    EXPECT_EQ(bought(buyer, {"%freq1%|%freq2%", "shield", ""}), (Texts{GetParam().line, GetParam().line}));
}

INSTANTIATE_TEST_SUITE_P(Frequencies, Teams,
                         ::testing::Values(TeamCase{0, "0|0"}, TeamCase{99, "99|99"},
                                           TeamCase{100, "(Private freq)|100"},
                                           TeamCase{65535, "(Private freq)|65535"}));

class Smuggling : public ShopTest {};

TEST_F(Smuggling, ValuesAreNeverSearchedForPlaceholders) {
    load("[Item1]\nName=Shield\nPrivAction0=%name%/%squad%/%param%\nPubAction0=%squad% says *points %param%\n");
    PlayerRecord buyer("%squad%%param%", 3);
    buyer.squad("%param%%name%");
    EXPECT_EQ(buy(buyer, "shield %name% %freq2%"),
              (Texts{"%squad%%param%/%param%%name%/%name% %freq2%", "%param%%name% says *points %name% %freq2%"}));
}

TEST_F(Smuggling, PointsAreWrittenUnsigned) {
    load("[Item1]\nName=Shield\nPrivAction0=%points%\n");
    PlayerRecord buyer("Bob", 3);
    buyer.scores(-1, 0);
    EXPECT_EQ(buy(buyer, "shield"), Texts{"4294967295"});
    buyer.scores(2147483647, 2);
    EXPECT_EQ(buy(buyer, "shield"), Texts{"2147483649"});
}

TEST_F(Smuggling, SquadIsReadWithinItsField) {
    load("[Item1]\nName=Shield\nPrivAction0=<%squad%>\n");
    PlayerRecord buyer("Bob", 3);
    EXPECT_EQ(buy(buyer, "shield"), Texts{"<>"});
    buyer.squad(std::string(115, 's'));
    EXPECT_EQ(buy(buyer, "shield"), Texts{"<" + std::string(115, 's') + ">"});
}

}  // namespace
}  // namespace kadrel::testing
