// !buy with an argument: the checks, the payment and the order of what the
// bot sends.
#include "shop_fixture.h"

namespace kadrel::testing {
namespace {

using Bank = std::vector<std::pair<std::string, int32_t>>;

class Purchase : public ShopTest {
protected:
    void stock(int32_t credits, std::string_view ini) {
        writeBank({{"Alice", credits}});
        load(ini);
    }

    PlayerRecord alice{"Alice", 4, 0, 1};
};

TEST_F(Purchase, NamesMatchWholeAndIgnoringCase) {
    stock(0, "[Item1]\nName=Shield\nPrivAction0=bought\n");
    EXPECT_EQ(buy(alice, "SHIELD"), Texts{"bought"});
    EXPECT_EQ(buy(alice, "shield"), Texts{"bought"});
    EXPECT_EQ(buy(alice, "Shi"), Texts{"Unknown item"});
    EXPECT_EQ(buy(alice, "Shields"), Texts{"Unknown item"});
    EXPECT_EQ(buy(alice, " "), Texts{"Unknown item"});
}

TEST_F(Purchase, ExactBalanceBuysAndLeavesZero) {
    stock(250, "[Item1]\nName=Shield\nValue=250\n");
    EXPECT_EQ(buy(alice, "shield"), Texts{});
    EXPECT_EQ(savedBank(), (Bank{{"Alice", 0}}));
}

TEST_F(Purchase, ShortfallIsNamedAndNothingIsTaken) {
    stock(249, "[Item1]\nName=Shield\nValue=250\nPrivAction0=bought\nSpecialAction0=20\n");
    EXPECT_EQ(buy(alice, "shield"), Texts{"You need 1 more credits to buy that item"});
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0].mode(), 5u);
    EXPECT_EQ(host.requests[0].addressee(), 4u);
    EXPECT_EQ(savedBank(), (Bank{{"Alice", 249}}));
}

TEST_F(Purchase, BuyerWithoutAccountHasNothing) {
    load("[Item1]\nName=Shield\nValue=5\n[Item2]\nName=Free\n");
    EXPECT_EQ(buy(alice, "shield"), Texts{"You need 5 more credits to buy that item"});
    EXPECT_EQ(savedBank(), Bank{});
    EXPECT_EQ(buy(alice, "free"), Texts{});
    EXPECT_EQ(savedBank(), (Bank{{"Alice", 0}})) << "a free purchase opens the account";
}

struct CreditCase {
    int32_t balance;
    int32_t price;
    const char* reply;  // nullptr: bought
    int32_t after;
};

class Credits : public Purchase, public ::testing::WithParamInterface<CreditCase> {};

TEST_P(Credits, ShortfallNeverWraps) {
    const CreditCase& c = GetParam();
    stock(c.balance, "[Item1]\nName=Thing\nValue=" + std::to_string(c.price) + "\n");
    EXPECT_EQ(buy(alice, "thing"), c.reply == nullptr ? Texts{} : Texts{c.reply});
    EXPECT_EQ(savedBank(), (Bank{{"Alice", c.after}}));
}

INSTANTIATE_TEST_SUITE_P(
    Balances, Credits,
    ::testing::Values(CreditCase{-2147483648, 2147483647, "You need 4294967295 more credits to buy that item",
                                 -2147483648},
                      CreditCase{-2147483648, 1, "You need 2147483649 more credits to buy that item", -2147483648},
                      CreditCase{-10, 0, "You need 10 more credits to buy that item", -10},
                      CreditCase{2147483647, 2147483647, nullptr, 0}, CreditCase{100, -5, nullptr, 105},
                      CreditCase{-10, -5, nullptr, -5}, CreditCase{-2147483648, -1, nullptr, -2147483647},
                      CreditCase{1, -2147483648, nullptr, 2147483647}, CreditCase{-5, -2147483648, nullptr, 2147483643},
                      CreditCase{-2147483648, -2147483648, nullptr, 0},
                      CreditCase{2147483000, -1000, nullptr, 2147483647}));

TEST_F(Purchase, PointsBelowTheRequirementRefuse) {
    stock(10, "[Item1]\nName=Thing\nValue=10\nSpecialPoints=500\nPrivAction0=bought\n");
    alice.scores(400, 99);
    EXPECT_EQ(buy(alice, "thing"), Texts{"You do not have enough points"});
    EXPECT_EQ(savedBank(), (Bank{{"Alice", 10}}));
}

TEST_F(Purchase, CreditsAreCheckedBeforePoints) {
    stock(9, "[Item1]\nName=Thing\nValue=10\nSpecialPoints=500\n");
    alice.scores(0, 0);
    EXPECT_EQ(buy(alice, "thing"), Texts{"You need 1 more credits to buy that item"});
}

struct PointsCase {
    int32_t required;
    int32_t score1;
    int32_t score2;
    bool enough;
};

class Points : public Purchase, public ::testing::WithParamInterface<PointsCase> {};

TEST_P(Points, ComparedAsSigned32Bit) {
    const PointsCase& c = GetParam();
    stock(0, "[Item1]\nName=Thing\nSpecialPoints=" + std::to_string(c.required) + "\n");
    alice.scores(c.score1, c.score2);
    EXPECT_EQ(buy(alice, "thing"),
              c.enough ? Texts{"*points " + std::to_string(c.required)} : Texts{"You do not have enough points"});
}

INSTANTIATE_TEST_SUITE_P(Requirements, Points,
                         ::testing::Values(PointsCase{-10, -20, 0, false}, PointsCase{-10, -5, -5, true},
                                           PointsCase{1, 2147483647, 1, false},
                                           PointsCase{2147483647, 2147483647, 0, true},
                                           PointsCase{-2147483648, -2147483648, 0, true}));

TEST_F(Purchase, RequestsFollowTheFixedOrder) {
    stock(100,
          "[Item1]\nName=Kit\nValue=30\nSpecialPoints=1\n"
          "PubAction9=pub9\nPrivAction3=priv3\nSpecialAction2=20\nPubAction1=pub1\nPrivAction0=priv0\n"
          "SpecialAction0=1\nSpecialAction9=22\n");
    alice.scores(1, 0);
    buy(alice, "kit");
    struct Expected {
        uint32_t mode;
        uint32_t addressee;
        const char* text;
    };
    const Expected expected[] = {
        {5, 4, "*points 1"},   {5, 4, "priv0"},
        {5, 4, "priv3"},       {2, 0, "pub1"},
        {2, 0, "pub9"},        {5, 4, "There are no carried flags"},
        {4, 1, "*scorereset"}, {5, 4, "The specified item has invalid data"},
    };
    ASSERT_EQ(host.requests.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Request& request = host.requests[i];
        EXPECT_TRUE(request.isSay());
        EXPECT_EQ(request.mode(), expected[i].mode) << i;
        EXPECT_EQ(request.addressee(), expected[i].addressee) << i;
        EXPECT_EQ(request.text, expected[i].text);
    }
    EXPECT_EQ(savedBank(), (Bank{{"Alice", 70}}));
}

TEST_F(Purchase, NameOnlyItemChangesNothingButOpensTheAccount) {
    writeBank({{"Bob", 3}});
    load("[Item1]\nName=Plain\n");
    EXPECT_EQ(buy(alice, "plain"), Texts{});
    EXPECT_EQ(savedBank(), (Bank{{"Bob", 3}, {"Alice", 0}}));
}

TEST_F(Purchase, PaidBy19CharacterNameOfTheRecord) {
    writeBank({{"ABCDEFGHIJKLMNOPQRS", 50}});
    load("[Item1]\nName=Thing\nValue=20\n");
    const PlayerRecord longName("ABCDEFGHIJKLMNOPQRST", 9);
    EXPECT_EQ(buy(longName, "thing"), Texts{});
    EXPECT_EQ(savedBank(), (Bank{{"ABCDEFGHIJKLMNOPQRS", 30}}));
}

}  // namespace
}  // namespace kadrel::testing
