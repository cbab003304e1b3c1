// The special actions of bought items: flag and position reports on their
// channels, resets, and the codes that mean nothing.
#include <deque>

#include "bot_session.h"

namespace kadrel::testing {
namespace {

// Alice (ident 4) buys; she and Bob are on team 1, Carl and a spectator on
// team 2.
std::string toAlice(const std::string& text) { return "[private to 4] " + text; }
std::string toArena(const std::string& text) { return "[public] " + text; }
std::string toTeam(const std::string& text) { return "[team 1] " + text; }

class SpecialActions : public BotSession {
protected:
    void arena() {
        for (const PlayerRecord* player : {&alice, &bob, &carl, &spectator}) host.players.add(player->record());
        for (const FlagRecord* flag : {&flag1, &flag2, &flag3}) host.flags.add(flag->record());
    }

    // What buying an item with these codes in its first slots sends.
    Texts run(const std::vector<int64_t>& codes) {
        std::string ini = "[Item1]\nName=Kit\n";
        for (size_t slot = 0; slot < codes.size(); ++slot) {
            ini += "SpecialAction" + std::to_string(slot) + "=" + std::to_string(codes[slot]) + "\n";
        }
        load(ini);
        host.command(bot, alice, "buy", "kit");
        return heard();
    }

    PlayerRecord alice{"Alice", 4, 0, 1};
    PlayerRecord bob = PlayerRecord("Bob", 5, 0, 1).flagCount(2).position(8192, 8192);
    PlayerRecord carl = PlayerRecord("Carl", 6, 0, 2).flagCount(1).position(16383, 16383);
    PlayerRecord spectator = PlayerRecord("Watcher", 7, 0, 2).ship(8).position(100, 100);
    FlagRecord flag1{0, 0};
    FlagRecord flag2{512, 512};
    FlagRecord flag3{1023, 1023};
};

const std::string header = "Display bought by Alice";
const std::string bobCarries = "Bob @ K11 is carrying 2 flags";
const std::string carlCarries = "Carl @ T20 is carrying 1 flags";
const std::string flagSectors = "A1 K11 T20";
const std::string ownTeam = "Alice @ A1   Bob @ K11";
const std::string otherTeams = "Carl @ T20";
const std::string everyone = "Alice @ A1   Bob @ K11   Carl @ T20";
const std::string invalid = "The specified item has invalid data";

TEST_F(SpecialActions, EachCodeSendsItsReportOnItsChannel) {
    arena();
    const std::pair<int64_t, Texts> cases[] = {
        {0, {}},
        {1, {toAlice(bobCarries), toAlice(carlCarries)}},
        {2, {toAlice(flagSectors)}},
        {3, {toAlice(bobCarries), toAlice(carlCarries), toAlice(flagSectors)}},
        {4, {toArena(header), toArena(bobCarries), toArena(carlCarries)}},
        {5, {toArena(header), toArena(flagSectors)}},
        {6, {toArena(header), toArena(bobCarries), toArena(carlCarries), toArena(flagSectors)}},
        {7, {toTeam(header), toTeam(bobCarries), toTeam(carlCarries)}},
        {8, {toTeam(header), toTeam(flagSectors)}},
        {9, {toTeam(header), toTeam(bobCarries), toTeam(carlCarries), toTeam(flagSectors)}},
        {10, {toAlice(ownTeam)}},
        {11, {toAlice(otherTeams)}},
        {12, {toAlice(everyone)}},
        {13, {toArena(header), toArena(ownTeam)}},
        {14, {toArena(header), toArena(otherTeams)}},
        {15, {toArena(header), toArena(everyone)}},
        {16, {toTeam(header), toTeam(ownTeam)}},
        {17, {toTeam(header), toTeam(otherTeams)}},
        {18, {toTeam(header), toTeam(everyone)}},
        {20, {toTeam("*scorereset")}},
        {21, {"[private to 6] *scorereset", "[private to 7] *scorereset"}},
        {24, {toTeam("*shipreset")}},
        {25, {"[private to 6] *shipreset", "[private to 7] *shipreset"}},
    };
    for (const auto& [code, lines] : cases) EXPECT_EQ(run({code}), lines) << "code " << code;
    const int64_t invalidCodes[] = {19, 22, 23, 26, -1, -2147483647 - 1, 2147483647};
    for (const int64_t code : invalidCodes) {
        EXPECT_EQ(run({code}), Texts{toAlice(invalid)}) << "code " << code;
    }
}

// Neither an invalid code nor empty lists stop the codes after them.
TEST_F(SpecialActions, EmptyListsGiveTheirMessagesAndNoPositions) {
    EXPECT_EQ(run({19, 1, 7, 2, 0, 8, 10, 13, 21, 25}),
              (Texts{toAlice(invalid), toAlice("There are no carried flags"), toTeam(header),
                     toTeam("There are no carried flags"), toAlice("There are no uncarried flags"), toTeam(header),
                     toTeam("There are no uncarried flags"), toArena(header)}));
}

TEST_F(SpecialActions, UncarriedFlagsAreNeverSplit) {
    std::deque<FlagRecord> flags;
    for (int i = 0; i < 100; ++i) host.flags.add(flags.emplace_back(static_cast<uint16_t>(i * 16), 0).record());
    const Texts lines = run({2});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 15 + 100 * 2 + 99u);
    EXPECT_EQ(lines[0].substr(0, 30), toAlice("A1 A1 A1 A1 B1 "));
}

// The transcripts name sectors on the map; off it nothing is clamped and the
// arithmetic wraps in 32 bits.
TEST_F(SpecialActions, SectorsOffTheMap) {
    bob.position(2147483647, 2147483647);
    carl.position(-20480, -20480);
    host.players.add(bob.record());
    host.players.add(carl.record());
    EXPECT_EQ(run({1}), (Texts{toAlice("Bob @ A-1572863 is carrying 2 flags"), toAlice("Carl @ (-24 is carrying 1 flags")}));
}

// Twelve players whose entries are 20 characters long, but for the first: a
// position line goes out once it has passed 160 characters.
TEST_F(SpecialActions, PositionTextsBreakPast160Characters) {
    std::deque<PlayerRecord> players;
    for (const size_t firstNameLength : {17u, 18u}) {
        std::vector<std::string> entries;
        host.players.clear();
        for (int i = 0; i < 12; ++i) {
            std::string name = i == 0 ? std::string(firstNameLength, 'F') : "Player000000" + std::to_string(100 + i);
            entries.push_back(name + " @ A1");
            host.players.add(players.emplace_back(name, static_cast<uint16_t>(10 + i), 0, 1).record());
        }
        const auto joined = [&](size_t from, size_t to) {
            std::string line;
            for (size_t i = from; i < to; ++i) line += (line.empty() ? "" : "   ") + entries[i];
            return line;
        };
        ASSERT_EQ(joined(0, 7).size(), 143 + firstNameLength);
        const size_t cut = firstNameLength == 17 ? 8 : 7;  // exactly 160 characters go on
        EXPECT_EQ(run({12}), (Texts{toAlice(joined(0, cut)), toAlice(joined(cut, 12))})) << firstNameLength;
    }
}

}  // namespace
}  // namespace kadrel::testing
