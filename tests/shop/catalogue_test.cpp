// The catalogue as buy.ini defines it, seen through the listing and the
// messages of the init event.
#include "shop_fixture.h"

namespace kadrel::testing {
namespace {

const Texts greetingStart = {"DLL plugin connected.", "Loading data..."};

class Catalogue : public ShopTest {
protected:
    // The listed items as name and price, header and footer checked.
    std::vector<std::pair<std::string, std::string>> listed() {
        const Texts lines = buy(buyer, "");
        std::vector<std::pair<std::string, std::string>> items;
        if (lines.size() == 1 && lines[0] == "There is nothing to buy") return items;
        EXPECT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.front(), "Item name            Price          Description");
        EXPECT_EQ(lines.back(), "Type !buy <item name> to buy something");
        for (size_t i = 1; i + 1 < lines.size(); ++i) {
            const std::string& line = lines[i];
            items.emplace_back(line.substr(0, line.find(' ')), line.substr(21, line.find(' ', 21) - 21));
        }
        return items;
    }

    Texts initMessages(std::string_view ini) {
        Texts sent = load(ini);
        EXPECT_EQ(Texts(sent.begin(), sent.begin() + 2), greetingStart);
        EXPECT_EQ(sent.back(), "Data loaded");
        return Texts(sent.begin() + 2, sent.end() - 1);
    }

    const PlayerRecord buyer{"Alice", 4};
};

using Items = std::vector<std::pair<std::string, std::string>>;

TEST_F(Catalogue, SectionsZeroTo255InOrderWithGaps) {
    EXPECT_EQ(initMessages("[Item255]\nName=B\n[Item256]\nName=C\n[Item007]\nName=D\n[Item3]\nName=\n"
                           "[Item0]\nName=A\n[Item12]\nDescription=no name\nValue=x\n"),
              Texts{});
    EXPECT_EQ(listed(), (Items{{"A", "0"}, {"B", "0"}}));
}

TEST_F(Catalogue, MissingFileGivesNothingToBuy) {
    host.init(bot);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin connected.", "Loading data...", "Data loaded"}));
    EXPECT_EQ(buy(buyer, ""), Texts{"There is nothing to buy"});
}

struct NameCase {
    const char* written;
    const char* itemName;
};

class Names : public Catalogue, public ::testing::WithParamInterface<NameCase> {};

TEST_P(Names, FirstWordOfTheFirstTwentyCharacters) {
    load(std::string("[Item1]\nName=") + GetParam().written + "\n");
    EXPECT_EQ(listed(), (Items{{GetParam().itemName, "0"}}));
}

INSTANTIATE_TEST_SUITE_P(Cut, Names,
                         ::testing::Values(NameCase{"Super Shield Deluxe Pack", "Super"},
                                           NameCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOPQRST"},
                                           NameCase{"abcdefghijklmnopqrs tuvw", "abcdefghijklmnopqrs"},
                                           NameCase{"ABCDEFGHIJKLMNOPQRSTU V", "ABCDEFGHIJKLMNOPQRST"},
                                           NameCase{"Shield", "Shield"}));

struct ValueCase {
    const char* line;
    const char* price;  // nullptr: the entry is invalid
};

class Values : public Catalogue, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(Values, NumbersAreDecimalsThatFit32Bits) {
    const Texts messages = initMessages(std::string("[Item6]\nName=Before\n[Item7]\nName=Tested\n") + GetParam().line +
                                        "\n[Item8]\nName=After\n");
    if (GetParam().price == nullptr) {
        EXPECT_EQ(messages, Texts{"Invalid buy.ini entry: 7"});
        EXPECT_EQ(listed(), (Items{{"Before", "0"}, {"After", "0"}}));
    } else {
        EXPECT_EQ(messages, Texts{});
        EXPECT_EQ(listed(), (Items{{"Before", "0"}, {"Tested", GetParam().price}, {"After", "0"}}));
    }
}

// The number rule itself is tested beside isNumericInRange; here only what
// the catalogue adds: an empty value, which keys are numbers, the edges.
INSTANTIATE_TEST_SUITE_P(
    Entries, Values,
    ::testing::Values(ValueCase{"Value=250", "250"}, ValueCase{"Value=", "0"}, ValueCase{"Value=-5", "-5"},
                      ValueCase{"Value=-000000000002147483648", "-2147483648"}, ValueCase{"SpecialAction4=99", "0"},
                      ValueCase{"Value=5x", nullptr}, ValueCase{"Value=2147483648", nullptr},
                      ValueCase{"SpecialAction0=x", nullptr}, ValueCase{"SpecialAction9=1 2", nullptr},
                      ValueCase{"SpecialPoints=x", nullptr}, ValueCase{"SpecialPoints=-2147483649", nullptr}));

TEST_F(Catalogue, OneMessagePerInvalidSection) {
    EXPECT_EQ(initMessages("[Item7]\nName=Bad\nValue=x\nSpecialAction0=y\nSpecialPoints=z\n"
                           "[Item9]\nName=Worse\nSpecialAction1=a\nSpecialAction2=b\n"),
              (Texts{"Invalid buy.ini entry: 7", "Invalid buy.ini entry: 9"}));
    EXPECT_EQ(listed(), Items{});
}

TEST_F(Catalogue, UnreadKeysDoNotInvalidate) {
    EXPECT_EQ(initMessages("[Item1]\nName=Odd\nSpecialAction=x\nSpecialAction10=y\nPubAction=z\nPrice=q\n"), Texts{});
    EXPECT_EQ(listed(), (Items{{"Odd", "0"}}));
}

TEST_F(Catalogue, DescriptionKeepsAt191Characters) {
    const std::string description(300, 'd');
    load("[Item1]\nName=Long\nDescription=" + description + "\n");
    const Texts lines = buy(buyer, "");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(36), std::string(191, 'd'));
}

TEST_F(Catalogue, ReloadReplacesTheCatalogue) {
    load("[Item1]\nName=One\n[Item2]\nName=Two\n");
    load("[Item1]\nName=One\n[Item2]\nName=Two\n");
    EXPECT_EQ(listed(), (Items{{"One", "0"}, {"Two", "0"}}));
    load("[Item5]\nName=Five\nValue=5\n");
    EXPECT_EQ(listed(), (Items{{"Five", "5"}}));
}

TEST_F(Catalogue, EqualNamesAreAllListedAndTheFirstIsBought) {
    load("[Item3]\nName=Box\nValue=0\nPrivAction0=first\n[Item2]\nName=BOX\nValue=0\nPrivAction0=second\n");
    EXPECT_EQ(listed(), (Items{{"BOX", "0"}, {"Box", "0"}}));
    EXPECT_EQ(buy(buyer, "box"), Texts{"second"});
}

TEST_F(Catalogue, EachBotHasItsOwnCatalogue) {
    load("[Item1]\nName=One\n");
    scratch.write("buy.ini", "[Item1]\nName=Other\n");
    host.init(2);
    EXPECT_EQ(listed(), (Items{{"One", "0"}}));
}

}  // namespace
}  // namespace kadrel::testing
