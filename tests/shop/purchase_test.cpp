// !buy with an argument: the checks, the payment and the order of what the
// bot sends.
#include "bot_session.h"

namespace kadrel::testing {
namespace {

class Purchase : public BotSession {
protected:
    PlayerRecord alice{"Alice", 4, 0, 1};
};

TEST_F(Purchase, NamesMatchWholeAndIgnoringCase) {
    load("[Item1]\nName=Shield\nPrivAction0=bought\n");
    for (const char* argument : {"SHIELD", "shield extra words"}) EXPECT_EQ(buy(alice, argument), Texts{"bought"});
    for (const char* argument : {"Shi", "Shields", " "}) EXPECT_EQ(buy(alice, argument), Texts{"Unknown item"});
}

TEST_F(Purchase, BuyerWithoutAccountHasNothing) {
    load("[Item1]\nName=Shield\nValue=5\n[Item2]\nName=Free\n", {{"Bob", 3}});
    EXPECT_EQ(buy(alice, "shield"), Texts{"You need 5 more credits to buy that item"});
    EXPECT_EQ(buy(alice, "free"), Texts{});
    EXPECT_EQ(savedBank(), (Ledger{{"Bob", 3}, {"Alice", 0}})) << "only the free purchase opened an account";
}

// Credits are checked first, then points; a refusal sends nothing else and
// takes nothing.
struct Case {
    int32_t balance;
    int32_t price;
    int32_t points;  // required
    int32_t score1;
    int32_t score2;
    const char* refusal;  // nullptr: bought
    int32_t after;
};

class Checks : public Purchase, public ::testing::WithParamInterface<Case> {};

TEST_P(Checks, DecideAndPay) {
    const Case& c = GetParam();
    load("[Item1]\nName=Thing\nPrivAction0=bought\nValue=" + std::to_string(c.price) +
             "\nSpecialPoints=" + std::to_string(c.points) + "\n",
         {{"Alice", c.balance}});
    alice.scores(c.score1, c.score2);
    const Texts bought = c.points == 0 ? Texts{"bought"} : Texts{"*points " + std::to_string(c.points), "bought"};
    EXPECT_EQ(buy(alice, "thing"), c.refusal == nullptr ? bought : Texts{c.refusal});
    EXPECT_EQ(savedBank(), (Ledger{{"Alice", c.after}}));
}

constexpr int32_t lowest = -2147483647 - 1;
constexpr int32_t highest = 2147483647;
const char* const notEnoughPoints = "You do not have enough points";

// The shortfall is computed exactly; a negative price never falls short; the
// points are the two scores added in 32 bits and compared signed.
INSTANTIATE_TEST_SUITE_P(
    Table, Checks,
    ::testing::Values(Case{lowest, highest, 0, 0, 0, "You need 4294967295 more credits to buy that item", lowest},
                      Case{-10, 0, 0, 0, 0, "You need 10 more credits to buy that item", -10},
                      Case{highest, highest, 0, -1, 0, nullptr, 0}, Case{-10, -5, 0, 0, 0, nullptr, -5},
                      Case{2147483000, -1000, 0, 0, 0, nullptr, highest},
                      Case{9, 10, 500, 0, 0, "You need 1 more credits to buy that item", 9},
                      Case{10, 10, 500, 400, 99, notEnoughPoints, 10}, Case{10, 10, 500, 400, 100, nullptr, 0},
                      Case{0, 0, -10, -20, 0, notEnoughPoints, 0}, Case{0, 0, 1, highest, 1, notEnoughPoints, 0},
                      Case{0, 0, lowest, lowest, 0, nullptr, 0}));

TEST_F(Purchase, RequestsFollowTheFixedOrder) {
    load("[Item1]\nName=Kit\nValue=30\nSpecialPoints=1\n"
         "PubAction9=pub9\nPrivAction3=priv3\nSpecialAction2=20\nPubAction1=pub1\nPrivAction0=priv0\n"
         "SpecialAction0=1\nSpecialAction9=22\n",
         {{"Alice", 100}});
    alice.scores(1, 0);
    host.command(bot, alice, "buy", "kit");
    EXPECT_EQ(heard(), (Texts{"[private to 4] *points 1", "[private to 4] priv0", "[private to 4] priv3", "[public] pub1",
                              "[public] pub9", "[private to 4] There are no carried flags", "[team 1] *scorereset",
                              "[private to 4] The specified item has invalid data"}));
    EXPECT_EQ(savedBank(), (Ledger{{"Alice", 70}}));
}

// An account name has at most 19 characters: the record's name is cut.
TEST_F(Purchase, PaidByThe19CharacterNameOfTheRecord) {
    load("[Item1]\nName=Thing\nValue=20\n", {{"ABCDEFGHIJKLMNOPQRS", 50}});
    EXPECT_EQ(buy(PlayerRecord("ABCDEFGHIJKLMNOPQRST", 9), "thing"), Texts{});
    EXPECT_EQ(savedBank(), (Ledger{{"ABCDEFGHIJKLMNOPQRS", 30}}));
}

}  // namespace
}  // namespace kadrel::testing
