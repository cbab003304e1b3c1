// !buy without an argument: the catalogue in columns, privately to the asker.
#include "shop_fixture.h"

namespace kadrel::testing {
namespace {

class Listing : public ShopTest {};

TEST_F(Listing, ColumnsStartAt21And36) {
    load(
        "[Item4]\nName=Shield extra text\nDescription=Gives you a shield\nValue=250\n"
        "[Item5]\nName=ABCDEFGHIJKLMNOPQRST\nDescription=spaced\nValue=-2147483648\n"
        "[Item6]\nName=Free\n");
    const PlayerRecord asker("Alice", 77);
    const Texts lines = buy(asker, "");
    const Texts expected = {
        "Item name            Price          Description", "Shield               250            Gives you a shield",
        "ABCDEFGHIJKLMNOPQRST -2147483648    spaced",      "Free                 0              ",
        "Type !buy <item name> to buy something",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(expected[0].find("Price"), 21u);
    EXPECT_EQ(expected[0].find("Description"), 36u);
    for (const Request& request : host.requests) {
        EXPECT_TRUE(request.isSay());
        EXPECT_EQ(request.mode(), 5u);
        EXPECT_EQ(request.addressee(), 77u);
    }
}

TEST_F(Listing, EmptyCatalogueSaysOnlyThatThereIsNothing) {
    load("[Item1]\nName=\n");
    EXPECT_EQ(buy(PlayerRecord("Alice"), ""), Texts{"There is nothing to buy"});
}

TEST_F(Listing, OperatorsListTooButLevelsAbove12AreIgnored) {
    load("[Item1]\nName=One\n");
    EXPECT_EQ(buy(PlayerRecord("Op", 2, 12), "").size(), 3u);
    EXPECT_EQ(buy(PlayerRecord("Ghost", 3, 13), ""), Texts{});
}

}  // namespace
}  // namespace kadrel::testing
