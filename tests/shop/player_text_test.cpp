// What a player types, or is called, never opens a line that the bot sends
// with '*', which the server would carry out as a command; the operator's own
// '*' lines still go out, and far off-map sectors never cut a report short.
// The rule itself is appendPlayerText's; here each place that passes player
// text on through it.
#include "bot_session.h"

namespace kadrel::testing {
namespace {

TEST_F(BotSession, PlayerTextNeverOpensALineWithAServerCommand) {
    // A carrier and two flags so far off the map that their sector letters
    // wrap to the byte 0.
    const PlayerRecord carrier = PlayerRecord("*Zed", 9, 0, 2).flagCount(1).position(-53248, 0);
    const FlagRecord farCorner{65535, 65535}, farEast{9800, 0};
    host.players.add(carrier.record());
    host.flags.add(farCorner.record());
    host.flags.add(farEast.record());
    const struct {
        const char* name;
        const char* squad;
        const char* item;  // the keys of [Item1] after its name
        const char* word;
        const char* argument;
        Texts sent;
    } cases[] = {
        {"Bob", "", "PubAction0=%param%\n", "buy", "kit **arena", {"arena"}},
        {"*Bob", "", "PubAction0=%name%: hello\n", "buy", "kit", {"Bob: hello"}},
        {"Bob", "*Red", "PrivAction0=%squad% rules\n", "buy", "kit", {"Red rules"}},
        {"*Bob", "", "PrivAction0=%squad%%name%\n", "buy", "kit", {"Bob"}},
        {"Bob", "", "PrivAction0=%freq2%%param%\n", "buy", "kit *x", {"1*x"}},
        {"Bob", "", "PubAction0=*arena %param%\n", "buy", "kit *x", {"*arena *x"}},
        {"*Bob", "", "SpecialPoints=500\nSpecialAction0=20\nSpecialAction1=24\n", "buy", "kit",
         {"*points 500", "*scorereset", "*shipreset"}},
        {"Bob", "", "", "cget", "*shipreset", {"shipreset has 0 credits"}},
        {"Bob", "", "SpecialAction0=3\n", "buy", "kit", {"Zed @ ?1 is carrying 1 flags", "@1280 ?1"}},
        {"Bob", "", "SpecialAction0=15\n", "buy", "kit", {"Display bought by Bob", "Zed @ ?1"}},
    };
    for (const auto& c : cases) {
        PlayerRecord buyer(c.name, 4, 1, 1);
        buyer.squad(c.squad).scores(600, 0);
        load(std::string("[Item1]\nName=Kit\n") + c.item);
        host.command(bot, buyer, c.word, c.argument);
        EXPECT_EQ(sent(), c.sent) << c.item << c.argument;
    }
}

}  // namespace
}  // namespace kadrel::testing
