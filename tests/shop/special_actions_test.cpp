// The special actions of bought items: flag and position reports on their
// channels, resets, and the codes that mean nothing.
#include <deque>
#include <limits>

#include "shop_fixture.h"

namespace kadrel::testing {
namespace {

struct Line {
    uint32_t mode;
    uint32_t addressee;
    std::string text;
    bool operator==(const Line&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << "{" << line.mode << ", " << line.addressee << ", \"" << line.text << "\"}";
}

using Lines = std::vector<Line>;

// Alice (ident 4) buys; she and Bob are on team 1, Carl and a spectator on
// team 2.
constexpr uint16_t aliceIdent = 4;
constexpr uint16_t aliceTeam = 1;

Line toAlice(std::string text) { return {5, aliceIdent, std::move(text)}; }
Line toArena(std::string text) { return {2, 0, std::move(text)}; }
Line toTeam(std::string text) { return {4, aliceTeam, std::move(text)}; }

class SpecialActions : public ShopTest {
protected:
    void arena() {
        bob.flagCount(2).position(8192, 8192);
        carl.flagCount(1).position(16383, 16383);
        spectator.ship(8).position(100, 100);
        for (const PlayerRecord* player : {&alice, &bob, &carl, &spectator}) host.players.add(player->record());
        for (const FlagRecord* flag : {&flag1, &flag2, &flag3}) host.flags.add(flag->record());
    }

    Lines run(const std::vector<int64_t>& codes) {
        std::string ini = "[Item1]\nName=Kit\n";
        for (size_t slot = 0; slot < codes.size(); ++slot) {
            ini += "SpecialAction" + std::to_string(slot) + "=" + std::to_string(codes[slot]) + "\n";
        }
        load(ini);
        buy(alice, "kit");
        Lines lines;
        for (const Request& request : host.requests)
            lines.push_back({request.mode(), request.addressee(), request.text});
        return lines;
    }

    PlayerRecord alice{"Alice", aliceIdent, 0, aliceTeam};
    PlayerRecord bob{"Bob", 5, 0, aliceTeam};
    PlayerRecord carl{"Carl", 6, 0, 2};
    PlayerRecord spectator{"Watcher", 7, 0, 2};
    FlagRecord flag1{0, 0};
    FlagRecord flag2{512, 512};
    FlagRecord flag3{1023, 1023};
};

struct CodeCase {
    int64_t code;
    Lines lines;
};

std::ostream& operator<<(std::ostream& out, const CodeCase& c) { return out << "code " << c.code; }

class Codes : public SpecialActions, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(Codes, SendTheirReportOnTheirChannel) {
    arena();
    EXPECT_EQ(run({GetParam().code}), GetParam().lines);
}

const std::string header = "Display bought by Alice";
const std::string bobCarries = "Bob @ K11 is carrying 2 flags";
const std::string carlCarries = "Carl @ T20 is carrying 1 flags";
const std::string flagSectors = "A1 K11 T20";
const std::string ownTeam = "Alice @ A1   Bob @ K11";
const std::string otherTeams = "Carl @ T20";
const std::string everyone = "Alice @ A1   Bob @ K11   Carl @ T20";
const std::string invalid = "The specified item has invalid data";

INSTANTIATE_TEST_SUITE_P(
    Table, Codes,
    ::testing::Values(
        CodeCase{0, {}}, CodeCase{1, {toAlice(bobCarries), toAlice(carlCarries)}}, CodeCase{2, {toAlice(flagSectors)}},
        CodeCase{3, {toAlice(bobCarries), toAlice(carlCarries), toAlice(flagSectors)}},
        CodeCase{4, {toArena(header), toArena(bobCarries), toArena(carlCarries)}},
        CodeCase{5, {toArena(header), toArena(flagSectors)}},
        CodeCase{6, {toArena(header), toArena(bobCarries), toArena(carlCarries), toArena(flagSectors)}},
        CodeCase{7, {toTeam(header), toTeam(bobCarries), toTeam(carlCarries)}},
        CodeCase{8, {toTeam(header), toTeam(flagSectors)}},
        CodeCase{9, {toTeam(header), toTeam(bobCarries), toTeam(carlCarries), toTeam(flagSectors)}},
        CodeCase{10, {toAlice(ownTeam)}}, CodeCase{11, {toAlice(otherTeams)}}, CodeCase{12, {toAlice(everyone)}},
        CodeCase{13, {toArena(header), toArena(ownTeam)}}, CodeCase{14, {toArena(header), toArena(otherTeams)}},
        CodeCase{15, {toArena(header), toArena(everyone)}}, CodeCase{16, {toTeam(header), toTeam(ownTeam)}},
        CodeCase{17, {toTeam(header), toTeam(otherTeams)}}, CodeCase{18, {toTeam(header), toTeam(everyone)}},
        CodeCase{20, {toTeam("*scorereset")}}, CodeCase{21, {{5, 6, "*scorereset"}, {5, 7, "*scorereset"}}},
        CodeCase{24, {toTeam("*shipreset")}}, CodeCase{25, {{5, 6, "*shipreset"}, {5, 7, "*shipreset"}}},
        CodeCase{19, {toAlice(invalid)}}, CodeCase{22, {toAlice(invalid)}}, CodeCase{23, {toAlice(invalid)}},
        CodeCase{26, {toAlice(invalid)}}, CodeCase{-1, {toAlice(invalid)}},
        CodeCase{std::numeric_limits<int32_t>::min(), {toAlice(invalid)}},
        CodeCase{std::numeric_limits<int32_t>::max(), {toAlice(invalid)}}));

TEST_F(SpecialActions, InvalidCodesDoNotStopTheOthers) {
    arena();
    EXPECT_EQ(run({19, 11, 0, -1, 20}),
              (Lines{toAlice(invalid), toAlice(otherTeams), toAlice(invalid), toTeam("*scorereset")}));
}

TEST_F(SpecialActions, EmptyListsGiveTheirMessagesAndNoPositions) {
    EXPECT_EQ(run({1, 7, 2, 8, 10, 13, 21, 25}),
              (Lines{toAlice("There are no carried flags"), toTeam(header), toTeam("There are no carried flags"),
                     toAlice("There are no uncarried flags"), toTeam(header), toTeam("There are no uncarried flags"),
                     toArena(header)}));
}

TEST_F(SpecialActions, EveryoneOnTheBuyersTeam) {
    host.players.add(alice.record());
    host.players.add(bob.record());
    EXPECT_EQ(run({14, 11, 21}), (Lines{toArena(header)}));
}

TEST_F(SpecialActions, BuyerWhoIsASpectatorIsNotPlaced) {
    alice.ship(8);
    arena();
    EXPECT_EQ(run({10}), (Lines{toAlice("Bob @ K11")}));
}

TEST_F(SpecialActions, UncarriedFlagsAreNeverSplit) {
    std::deque<FlagRecord> flags;
    for (int i = 0; i < 100; ++i) host.flags.add(flags.emplace_back(static_cast<uint16_t>(i * 16), 0).record());
    const Lines lines = run({2});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.size(), 100 * 2 + 99u);
    EXPECT_EQ(lines[0].text.substr(0, 15), "A1 A1 A1 A1 B1 ");
}

struct SectorCase {
    int32_t x;
    int32_t y;
    const char* sector;
};

class Sectors : public SpecialActions, public ::testing::WithParamInterface<SectorCase> {};

TEST_P(Sectors, AreNamedOffTheMapToo) {
    bob.flagCount(1).position(GetParam().x, GetParam().y);
    host.players.add(bob.record());
    EXPECT_EQ(run({1}), Lines{toAlice(std::string("Bob @ ") + GetParam().sector + " is carrying 1 flags")});
}

constexpr int32_t lowest = std::numeric_limits<int32_t>::min();
constexpr int32_t highest = std::numeric_limits<int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Positions, Sectors,
    ::testing::Values(SectorCase{0, 0, "A1"}, SectorCase{15, 15, "A1"}, SectorCase{816, 0, "A1"},
                      SectorCase{832, 832, "B2"}, SectorCase{8192, 8192, "K11"}, SectorCase{16383, 16383, "T20"},
                      SectorCase{16384, 16384, "U21"}, SectorCase{20480, 0, "Z1"}, SectorCase{-1, -1, "A1"},
                      SectorCase{-20480, -20480, "(-24"}, SectorCase{-53248, 0, "?1"},
                      SectorCase{highest, highest, "A-1572863"},
                      SectorCase{lowest, lowest, "A1572865"}, SectorCase{20480, lowest, "Z1572865"}));

// Twelve players whose entries are 20 characters long, but for the first.
class LineBreaks : public SpecialActions, public ::testing::WithParamInterface<size_t> {
protected:
    std::deque<PlayerRecord> players;
    std::vector<std::string> entries;

    void crowd(size_t firstNameLength) {
        for (int i = 0; i < 12; ++i) {
            std::string name = i == 0 ? std::string(firstNameLength, 'F') : "Player000000" + std::to_string(100 + i);
            entries.push_back(name + " @ A1");
            host.players.add(players.emplace_back(name, static_cast<uint16_t>(10 + i), 0, aliceTeam).record());
        }
    }

    std::string joined(size_t from, size_t to) const {
        std::string line;
        for (size_t i = from; i < to; ++i) line += (line.empty() ? "" : "   ") + entries[i];
        return line;
    }
};

TEST_F(LineBreaks, ALineOfExactly160CharactersGoesOn) {
    crowd(17);
    ASSERT_EQ(joined(0, 7).size(), 160u);
    EXPECT_EQ(run({12}), (Lines{toAlice(joined(0, 8)), toAlice(joined(8, 12))}));
}

TEST_F(LineBreaks, ALinePast160CharactersIsSent) {
    crowd(18);
    ASSERT_EQ(joined(0, 7).size(), 161u);
    EXPECT_EQ(run({15}), (Lines{toArena(header), toArena(joined(0, 7)), toArena(joined(7, 12))}));
}

}  // namespace
}  // namespace kadrel::testing
