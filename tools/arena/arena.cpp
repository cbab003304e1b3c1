#include "tools/arena/arena.h"

#include <cstdio>
#include <cstring>

#include "core/text.h"
#include "shop/sector_name.h"

namespace kadrel::tools {

namespace {

// The host calls back into a plain function; the arena that owns the bot is
// the one being driven.
Arena* current = nullptr;

std::string claimArena(const std::string& libraryPath) {
    if (current != nullptr) throw std::logic_error("one arena at a time");
    return libraryPath;
}

// The sector as the plug-in names it in what it says, off the map included.
std::string sectorOf(int32_t x, int32_t y) { return printable(sectorName(x, y).text()); }

}  // namespace

std::string printable(std::string_view text) {
    std::string result;
    for (const char byte : text) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x20 || code == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", code);
            result += escaped;
        } else {
            result += byte;
        }
    }
    return result;
}

void ArenaPlayer::updateRecord() {
    record.name(name)
        .ident(ident)
        .accessLevel(accessLevel)
        .team(team)
        .squad(squad)
        .ship(ship)
        .position(x, y)
        .flagCount(flagCount)
        .scores(score1, score2);
}

Arena::Arena(const std::string& libraryPath, std::ostream& out) : library(claimArena(libraryPath)), out(out) {
    current = this;
}

Arena::~Arena() { current = nullptr; }

ArenaPlayer& Arena::join(const std::string& name) {
    if (name.size() >= stand_in::PlayerRecord::nameSize) {
        throw ScriptError("a player name holds at most " + std::to_string(stand_in::PlayerRecord::nameSize - 1) +
                          " characters: " + name);
    }
    for (const ArenaPlayer& other : arenaPlayers) {
        if (equalsNoCase(other.name.c_str(), name.c_str())) throw ScriptError(other.name + " is already in the arena");
    }
    ArenaPlayer& player = arenaPlayers.emplace_back();
    player.name = name;
    player.ident = freeIdent();
    player.updateRecord();
    players.add(player.record.record());
    return player;
}

void Arena::leave(const std::string& name) {
    const ArenaPlayer& gone = player(name);
    players.remove(gone.record.record());
    arenaPlayers.remove_if([&gone](const ArenaPlayer& candidate) { return &candidate == &gone; });
}

ArenaPlayer& Arena::player(const std::string& name) {
    for (ArenaPlayer& candidate : arenaPlayers) {
        if (equalsNoCase(candidate.name.c_str(), name.c_str())) return candidate;
    }
    throw ScriptError("nobody called " + name + " is in the arena");
}

uint16_t Arena::freeIdent() const {
    for (uint16_t ident = 1;; ++ident) {
        bool taken = false;
        for (const ArenaPlayer& other : arenaPlayers) taken = taken || other.ident == ident;
        if (!taken) return ident;
    }
}

void Arena::addFlag(uint16_t tileX, uint16_t tileY) {
    const ArenaFlag& flag = arenaFlags.emplace_back(ArenaFlag{tileX, tileY, stand_in::FlagRecord(tileX, tileY)});
    flags.add(flag.record.record());
}

void Arena::clearFlags() {
    flags.clear();
    arenaFlags.clear();
}

void Arena::deliver(BotEvent& event) {
    library.talk(event);
    out.flush();
}

uintptr_t Arena::callbackAddress() const { return reinterpret_cast<uintptr_t>(&Arena::receive); }

void KADREL_CALL Arena::receive(BotEvent& request) {
    if (current != nullptr) current->print(request);
}

std::string Arena::addresseeName(uint32_t ident) const {
    for (const ArenaPlayer& player : arenaPlayers) {
        if (player.ident == ident) return player.name;
    }
    return "ident " + std::to_string(ident);
}

void Arena::print(const BotEvent& request) const {
    // A request must carry the bot's handle; a stray one is marked.
    if (request.handle != botHandle) out << "(from handle " << request.handle << ") ";
    const auto text = [](uintptr_t pointer) {
        return pointer == 0 ? std::string("(no text)") : printable(reinterpret_cast<const char*>(pointer));
    };
    if (request.code == stand_in::requestEcho) {
        out << "[echo] " << text(request.p[0]) << '\n';
        return;
    }
    if (request.code != stand_in::requestSay) {
        out << "[request " << request.code << "]\n";
        return;
    }
    const auto mode = static_cast<uint32_t>(request.p[0]);
    const auto addressee = static_cast<uint32_t>(request.p[2]);
    switch (mode) {
        case stand_in::sayPublic:
            out << "[public";
            if (addressee != 0) out << " to " << addressee;
            break;
        case stand_in::sayTeam:
            out << "[team " << addressee;
            break;
        case stand_in::sayPrivate:
            out << "[private to " << addresseeName(addressee);
            break;
        default:
            out << "[chat mode " << mode << " to " << addressee;
            break;
    }
    if (request.p[1] != 0) out << ", sound " << request.p[1];
    out << "] " << text(request.p[3]) << '\n';
}

void Arena::describe(std::ostream& to) const {
    if (arenaPlayers.empty()) to << "nobody is in the arena\n";
    for (const ArenaPlayer& player : arenaPlayers) {
        to << player.name << ": ident " << player.ident << ", level " << player.accessLevel << ", team "
           << player.team << ", ship " << static_cast<unsigned>(player.ship)
           << (player.ship == spectatorShip ? " (spectator)" : "") << ", at " << player.x << ' ' << player.y
           << " (" << sectorOf(player.x, player.y) << "), carrying " << player.flagCount << ", scores "
           << player.score1 << ' ' << player.score2;
        if (!player.squad.empty()) to << ", squad " << player.squad;
        to << '\n';
    }
    if (arenaFlags.empty()) to << "no uncarried flags\n";
    for (const ArenaFlag& flag : arenaFlags) {
        to << "flag at tile " << flag.tileX << ' ' << flag.tileY << " ("
           << sectorOf(flag.tileX * pixelsPerTile, flag.tileY * pixelsPerTile) << ")\n";
    }
}

}  // namespace kadrel::tools
