// The special actions that bought items run: flag and position reports on the
// buyer's private, public or team channel, and score and ship resets.
#include "host/bot_instance.h"
#include "host/chat_line.h"
#include "host/player_fields.h"
#include "shop/catalogue_rules.h"
#include "shop/sector_name.h"

namespace kadrel {

namespace {

enum class Action {
    None,
    Invalid,
    CarriedFlags,
    UncarriedFlags,
    AllFlags,
    OwnTeamPositions,
    OtherTeamPositions,
    AllPositions,
    TeamScoreReset,
    OthersScoreReset,
    TeamShipReset,
    OthersShipReset,
};

enum class Channel { Private, Public, Team };

struct ActionEntry {
    Action action;
    Channel channel;
};

// Indexed by code; codes outside the table are invalid too.
constexpr ActionEntry actionTable[] = {
    {Action::None, Channel::Private},                // 0
    {Action::CarriedFlags, Channel::Private},        // 1
    {Action::UncarriedFlags, Channel::Private},      // 2
    {Action::AllFlags, Channel::Private},            // 3
    {Action::CarriedFlags, Channel::Public},         // 4
    {Action::UncarriedFlags, Channel::Public},       // 5
    {Action::AllFlags, Channel::Public},             // 6
    {Action::CarriedFlags, Channel::Team},           // 7
    {Action::UncarriedFlags, Channel::Team},         // 8
    {Action::AllFlags, Channel::Team},               // 9
    {Action::OwnTeamPositions, Channel::Private},    // 10
    {Action::OtherTeamPositions, Channel::Private},  // 11
    {Action::AllPositions, Channel::Private},        // 12
    {Action::OwnTeamPositions, Channel::Public},     // 13
    {Action::OtherTeamPositions, Channel::Public},   // 14
    {Action::AllPositions, Channel::Public},         // 15
    {Action::OwnTeamPositions, Channel::Team},       // 16
    {Action::OtherTeamPositions, Channel::Team},     // 17
    {Action::AllPositions, Channel::Team},           // 18
    {Action::Invalid, Channel::Private},             // 19
    {Action::TeamScoreReset, Channel::Team},         // 20
    {Action::OthersScoreReset, Channel::Private},    // 21
    {Action::Invalid, Channel::Private},             // 22
    {Action::Invalid, Channel::Private},             // 23
    {Action::TeamShipReset, Channel::Team},          // 24
    {Action::OthersShipReset, Channel::Private},     // 25
};

constexpr int32_t codeCount = static_cast<int32_t>(sizeof actionTable / sizeof actionTable[0]);
static_assert(codeCount == catalogue::specialActionCodes);

// A report wraps its line once it has passed this many characters.
constexpr uint32_t reportLineLimit = 160;

// Where the lines of one report go.
struct Report {
    const BotInstance& bot;
    const HostPlayer& buyer;
    Channel channel;

    void say(const char* text) const {
        switch (channel) {
            case Channel::Private: bot.sayPrivate(buyer, text); break;
            case Channel::Public: bot.sayPublic(text); break;
            case Channel::Team: bot.sayTeam(buyer.team, text); break;
        }
    }

    // Reports to the arena or a team say who paid for them.
    void header() const {
        if (channel == Channel::Private) return;
        CharString line("Display bought by ");
        line.append(playerName(buyer));
        say(line.text());
    }
};

// A name at the start of a report line is the player's text there.
void appendPlayerAt(CharString& line, const HostPlayer& player) {
    appendPlayerText(line, playerName(player));
    line.append(" @ ");
    line.append(sectorName(player.x, player.y));
}

void reportCarriedFlags(const Report& report) {
    bool anyCarried = false;
    for (const HostPlayer& player : HostListView<HostPlayer>(report.bot.playerList)) {
        if (player.flagCount == 0) continue;
        anyCarried = true;
        CharString line;
        appendPlayerAt(line, player);
        line.append(" is carrying ");
        line.appendNumber(player.flagCount);
        line.append(" flags");
        report.say(line.text());
    }
    if (!anyCarried) report.say("There are no carried flags");
}

void reportUncarriedFlags(const Report& report) {
    const HostListView<HostFlag> flags(report.bot.flagList);
    if (flags.count() == 0) {
        report.say("There are no uncarried flags");
        return;
    }
    CharString line;
    for (const HostFlag& flag : flags) {
        if (!line.empty()) line.append(" ");
        line.append(sectorName(flag.tileX * pixelsPerTile, flag.tileY * pixelsPerTile));
    }
    report.say(line.text());
}

bool onBuyersTeam(const HostPlayer& player, const HostPlayer& buyer) { return player.team == buyer.team; }

void reportPositions(const Report& report, Action filter) {
    CharString line;
    for (const HostPlayer& player : HostListView<HostPlayer>(report.bot.playerList)) {
        if (player.ship == spectatorShip) continue;
        if (filter == Action::OwnTeamPositions && !onBuyersTeam(player, report.buyer)) continue;
        if (filter == Action::OtherTeamPositions && onBuyersTeam(player, report.buyer)) continue;
        if (!line.empty()) line.append("   ");
        appendPlayerAt(line, player);
        if (line.size() > reportLineLimit) {
            report.say(line.text());
            line.clear();
        }
    }
    if (!line.empty()) report.say(line.text());
}

// Server command lines for every player, spectators included, who is not on
// the buyer's team.
void sayToOtherTeams(const BotInstance& bot, const HostPlayer& buyer, const char* text) {
    for (const HostPlayer& player : HostListView<HostPlayer>(bot.playerList)) {
        if (!onBuyersTeam(player, buyer)) bot.sayPrivate(player, text);
    }
}

}  // namespace

void BotInstance::runSpecialAction(int32_t code, const HostPlayer& buyer) const {
    const ActionEntry entry =
        code >= 0 && code < codeCount ? actionTable[code] : ActionEntry{Action::Invalid, Channel::Private};
    const Report report{*this, buyer, entry.channel};
    switch (entry.action) {
        case Action::None: break;
        case Action::Invalid: sayPrivate(buyer, "The specified item has invalid data"); break;
        case Action::CarriedFlags:
            report.header();
            reportCarriedFlags(report);
            break;
        case Action::UncarriedFlags:
            report.header();
            reportUncarriedFlags(report);
            break;
        case Action::AllFlags:
            report.header();
            reportCarriedFlags(report);
            reportUncarriedFlags(report);
            break;
        case Action::OwnTeamPositions:
        case Action::OtherTeamPositions:
        case Action::AllPositions:
            report.header();
            reportPositions(report, entry.action);
            break;
        case Action::TeamScoreReset: sayTeam(buyer.team, "*scorereset"); break;
        case Action::OthersScoreReset: sayToOtherTeams(*this, buyer, "*scorereset"); break;
        case Action::TeamShipReset: sayTeam(buyer.team, "*shipreset"); break;
        case Action::OthersShipReset: sayToOtherTeams(*this, buyer, "*shipreset"); break;
    }
}

bool catalogue::knownSpecialAction(int32_t code) {
    return code >= 0 && code < codeCount && actionTable[code].action != Action::Invalid;
}

}  // namespace kadrel
