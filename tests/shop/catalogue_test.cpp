// The catalogue as buy.ini defines it, seen through the init event's messages
// and the listing of !buy without an argument.
#include "bot_session.h"

namespace kadrel::testing {
namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

const Texts loaded = {"DLL plugin connected.", "Loading data...", "Data loaded"};

class Catalogue : public BotSession {
protected:
    // The listed items as name and price, header and footer checked.
    Items listed() {
        const Texts lines = buy(buyer, "");
        Items items;
        if (lines == Texts{"There is nothing to buy"}) return items;
        EXPECT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.front(), "Item name            Price          Description");
        EXPECT_EQ(lines.back(), "Type !buy <item name> to buy something");
        for (size_t i = 1; i + 1 < lines.size(); ++i) {
            items.emplace_back(lines[i].substr(0, lines[i].find(' ')), lines[i].substr(21, lines[i].find(' ', 21) - 21));
        }
        return items;
    }

    // The init's messages between the greeting and "Data loaded".
    Texts invalidEntries(std::string_view ini) {
        const Texts sent = load(ini);
        if (sent.size() < 3) return sent;
        EXPECT_EQ((Texts{sent[0], sent[1], sent.back()}), loaded);
        return Texts(sent.begin() + 2, sent.end() - 1);
    }

    const PlayerRecord buyer{"Alice", 4};
};

TEST_F(Catalogue, SectionsZeroTo255InOrderWithGaps) {
    EXPECT_EQ(invalidEntries("[Item255]\nName=B\n[Item256]\nName=C\n[Item007]\nName=D\n[Item3]\nName=\n"
                             "[Item0]\nName=A\n[Item12]\nDescription=no name\nValue=x\n"),
              Texts{});
    EXPECT_EQ(listed(), (Items{{"A", "0"}, {"B", "0"}}));
}

TEST_F(Catalogue, MissingFileGivesNothingToBuy) {
    host.init(bot);
    EXPECT_EQ(sent(), loaded);
    EXPECT_EQ(listed(), Items{});
}

// The first word of the first twenty characters.
TEST_F(Catalogue, NamesAreCut) {
    load("[Item1]\nName=Super Shield Deluxe\n[Item2]\nName=ABCDEFGHIJKLMNOPQRSTU V\n[Item3]\nName=abcdefghijklmnopqrs t\n");
    EXPECT_EQ(listed(), (Items{{"Super", "0"}, {"ABCDEFGHIJKLMNOPQRST", "0"}, {"abcdefghijklmnopqrs", "0"}}));
}

// The number rule itself is tested beside isNumericInRange; here what the
// catalogue adds: an empty value is 0, which keys are numbers, the edges, one
// message per refused item, and keys it never reads.
TEST_F(Catalogue, NumbersAreDecimalsThatFit32Bits) {
    EXPECT_EQ(invalidEntries("[Item1]\nName=A\nValue=250\n[Item2]\nName=B\nValue=\n"
                             "[Item3]\nName=C\nValue=-000000000002147483648\n[Item4]\nName=D\nSpecialAction4=99\n"
                             "[Item5]\nName=E\nValue=5x\n[Item6]\nName=F\nValue=2147483648\n"
                             "[Item7]\nName=G\nSpecialAction0=x\n[Item8]\nName=H\nSpecialAction9=1 2\n"
                             "[Item9]\nName=I\nSpecialPoints=-2147483649\n"
                             "[Item10]\nName=J\nValue=x\nSpecialAction0=y\nSpecialPoints=z\n"
                             "[Item11]\nName=K\nSpecialAction=x\nSpecialAction10=y\nPubAction=z\nPrice=q\n"),
              (Texts{"Invalid buy.ini entry: 5", "Invalid buy.ini entry: 6", "Invalid buy.ini entry: 7",
                     "Invalid buy.ini entry: 8", "Invalid buy.ini entry: 9", "Invalid buy.ini entry: 10"}));
    EXPECT_EQ(listed(), (Items{{"A", "250"}, {"B", "0"}, {"C", "-2147483648"}, {"D", "0"}, {"K", "0"}}));
}

// Columns at 21 and 36, whatever the name and price; a description keeps its
// first 191 characters.
TEST_F(Catalogue, ListingIsInColumnsPrivatelyToTheAsker) {
    load("[Item5]\nName=ABCDEFGHIJKLMNOPQRST\nDescription=" + std::string(300, 'd') + "\nValue=-2147483648\n"
         "[Item6]\nName=Free\n");
    EXPECT_EQ(command(buyer, "buy"), (Texts{"Item name            Price          Description",
                                             "ABCDEFGHIJKLMNOPQRST -2147483648    " + std::string(191, 'd'),
                                             "Free                 0              ",
                                             "Type !buy <item name> to buy something"}));
}

// A reload replaces the catalogue; of equal names all are listed and the first
// is bought.
TEST_F(Catalogue, ReloadReplacesTheCatalogue) {
    const std::string boxes = "[Item3]\nName=Box\nPrivAction0=first\n[Item2]\nName=BOX\nPrivAction0=second\n";
    load(boxes);
    load(boxes);
    EXPECT_EQ(listed(), (Items{{"BOX", "0"}, {"Box", "0"}}));
    EXPECT_EQ(buy(buyer, "box"), Texts{"second"});
    load("[Item5]\nName=Five\nValue=5\n");
    EXPECT_EQ(listed(), (Items{{"Five", "5"}}));
}

}  // namespace
}  // namespace kadrel::testing
