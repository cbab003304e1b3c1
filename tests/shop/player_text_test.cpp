// What a player types, or is called, never opens a line that the bot sends
// with '*', which the server would carry out as a command; the operator's own
// '*' lines still go out, and far off-map sectors never cut a report short.
#include "shop_fixture.h"

namespace kadrel::testing {
namespace {

struct PlayerTextCase {
    const char* label;
    const char* name;
    const char* squad;
    const char* item;  // the keys of [Item1] after its name
    const char* word;
    const char* argument;
    Texts sent;
};

std::ostream& operator<<(std::ostream& out, const PlayerTextCase& c) { return out << c.label; }

class PlayerText : public ShopTest, public ::testing::WithParamInterface<PlayerTextCase> {
protected:
    // A carrier and two flags so far off the map that their sector letters
    // wrap to the byte 0.
    PlayerRecord carrier = PlayerRecord("*Zed", 9, 0, 2).flagCount(1).position(-53248, 0);
    FlagRecord farCorner{65535, 65535};
    FlagRecord farEast{9800, 0};
};

TEST_P(PlayerText, NeverOpensALineWithAServerCommand) {
    const PlayerTextCase& c = GetParam();
    PlayerRecord buyer(c.name, 4, 1, 1);
    buyer.squad(c.squad).scores(600, 0);
    host.players.add(carrier.record());
    host.flags.add(farCorner.record());
    host.flags.add(farEast.record());
    load(std::string("[Item1]\nName=Kit\n") + c.item);
    host.clearRequests();
    host.command(bot, buyer, c.word, c.argument);
    EXPECT_EQ(host.texts(), c.sent);
}

// Every row's template is both the item's private and its public line.
#define BOTH(pattern) "PrivAction0=" pattern "\nPubAction0=" pattern "\n"

INSTANTIATE_TEST_SUITE_P(
    Table, PlayerText,
    ::testing::Values(
        PlayerTextCase{"ParamStar", "Bob", "", BOTH("%param%"), "buy", "kit *arena lock", {"arena lock", "arena lock"}},
        PlayerTextCase{"ParamStars", "Bob", "", BOTH("%param%"), "buy", "kit **arena", {"arena", "arena"}},
        PlayerTextCase{"ParamOnlyStar", "Bob", "", BOTH("%param% was here"), "buy", "kit *",
                       {" was here", " was here"}},
        PlayerTextCase{"ParamPlain", "Bob", "", BOTH("%param%"), "buy", "kit plain words",
                       {"plain words", "plain words"}},
        PlayerTextCase{"ParamInside", "Bob", "", BOTH("%name% says %param%"), "buy", "kit *arena",
                       {"Bob says *arena", "Bob says *arena"}},
        PlayerTextCase{"NameStar", "*Bob", "", BOTH("%name%: hello"), "buy", "kit", {"Bob: hello", "Bob: hello"}},
        PlayerTextCase{"NameStars", "**Bob", "", BOTH("%name%"), "buy", "kit", {"Bob", "Bob"}},
        PlayerTextCase{"NameBlankStar", " *Bob", "", BOTH("%name%"), "buy", "kit", {" *Bob", " *Bob"}},
        PlayerTextCase{"NamePlain", "Bob", "", BOTH("%name%"), "buy", "kit", {"Bob", "Bob"}},
        PlayerTextCase{"SquadStar", "Bob", "*Red", BOTH("%squad% rules"), "buy", "kit", {"Red rules", "Red rules"}},
        PlayerTextCase{"EmptySquadThenName", "*Bob", "", BOTH("%squad%%name%"), "buy", "kit", {"Bob", "Bob"}},
        PlayerTextCase{"StarSquadThenParam", "Bob", "**", BOTH("%squad%%param%"), "buy", "kit *x", {"x", "x"}},
        PlayerTextCase{"NumberFirst", "Bob", "", BOTH("%freq2%%param%"), "buy", "kit *x", {"1*x", "1*x"}},
        PlayerTextCase{"OperatorStar", "Bob", "", BOTH("*arena %param%"), "buy", "kit *x",
                       {"*arena *x", "*arena *x"}},
        PlayerTextCase{"OwnCommandLines", "*Bob", "", "SpecialPoints=500\nSpecialAction0=20\nSpecialAction1=24\n", "buy",
                       "kit", {"*points 500", "*scorereset", "*shipreset"}},
        PlayerTextCase{"CgetStar", "Bob", "", "", "cget", "*shipreset", {"shipreset has 0 credits"}},
        PlayerTextCase{"CgetStars", "Bob", "", "", "cget", "**x", {"x has 0 credits"}},
        PlayerTextCase{"CgetBlankStar", "Bob", "", "", "cget", " *x", {" *x has 0 credits"}},
        PlayerTextCase{"CgetPlain", "Bob", "", "", "cget", "Bob", {"Bob has 0 credits"}},
        PlayerTextCase{"OffMapFlagReport", "Bob", "", "SpecialAction0=3\n", "buy", "kit",
                       {"Zed @ ?1 is carrying 1 flags", "@1280 ?1"}},
        PlayerTextCase{"OffMapPositionReport", "Bob", "", "SpecialAction0=15\n", "buy", "kit",
                       {"Display bought by Bob", "Zed @ ?1"}}),
    [](const ::testing::TestParamInfo<PlayerTextCase>& info) { return std::string(info.param.label); });

#undef BOTH

}  // namespace
}  // namespace kadrel::testing
