#include "tools/arena/arena.h"

#include <cstdio>
#include <cstring>

#include "core/text.h"

namespace kadrel::tools {

namespace {

// The host calls back into a plain function; the arena that owns the bot is
// the one being driven.
Arena* current = nullptr;

std::string claimArena(const std::string& libraryPath) {
    if (current != nullptr) throw std::logic_error("one arena at a time");
    return libraryPath;
}

uintptr_t slot(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

std::string sectorOf(int32_t x, int32_t y) {
    // 16 pixels to a tile, 1024 tiles across and down in 20 sectors each way.
    const int64_t column = (int64_t{x} >> 4) * 20 / 1024;
    const int64_t row = (int64_t{y} >> 4) * 20 / 1024;
    if (column < 0 || column >= 26 || row < 0) return "off the map";
    std::string sector(1, static_cast<char>('A' + column));
    sector += std::to_string(1 + row);
    return sector;
}

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
        throw ScriptError("a player name holds at most 19 characters: " + name);
    }
    for (const ArenaPlayer& other : players) {
        if (equalsNoCase(other.name.c_str(), name.c_str())) throw ScriptError(other.name + " is already in the arena");
    }
    ArenaPlayer& player = players.emplace_back();
    player.name = name;
    player.ident = freeIdent();
    player.updateRecord();
    playerList.add(player.record.record());
    return player;
}

void Arena::leave(const std::string& name) {
    const ArenaPlayer& gone = player(name);
    playerList.remove(gone.record.record());
    players.remove_if([&gone](const ArenaPlayer& candidate) { return &candidate == &gone; });
}

ArenaPlayer& Arena::player(const std::string& name) {
    for (ArenaPlayer& candidate : players) {
        if (equalsNoCase(candidate.name.c_str(), name.c_str())) return candidate;
    }
    throw ScriptError("nobody called " + name + " is in the arena");
}

uint16_t Arena::freeIdent() const {
    for (uint16_t ident = 1;; ++ident) {
        bool taken = false;
        for (const ArenaPlayer& other : players) taken = taken || other.ident == ident;
        if (!taken) return ident;
    }
}

void Arena::addFlag(uint16_t tileX, uint16_t tileY) {
    const ArenaFlag& flag = flags.emplace_back(ArenaFlag{tileX, tileY, stand_in::FlagRecord(tileX, tileY)});
    flagList.add(flag.record.record());
}

void Arena::clearFlags() {
    flagList.clear();
    flags.clear();
}

void Arena::send(int32_t code, uintptr_t p0, uintptr_t p1, uintptr_t p2, uintptr_t p3) {
    BotEvent event{botHandle, code, {p0, p1, p2, p3, 0}};
    library.talk(event);
    out.flush();
}

void Arena::init(uint32_t version) {
    send(EventInit, version, reinterpret_cast<uintptr_t>(&Arena::receive), slot(playerList.record()),
         slot(flagList.record()));
}

void Arena::term() { send(EventTerm); }

void Arena::tick(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) send(EventTick);
}

void Arena::death(const ArenaPlayer& died, const ArenaPlayer& killer) {
    send(EventPlayerDeath, slot(died.record.record()), slot(killer.record.record()));
}

void Arena::prize(const ArenaPlayer& player, int32_t prizeType) {
    send(EventPlayerPrize, slot(player.record.record()), static_cast<uint32_t>(prizeType));
}

void Arena::flagVictory(uint32_t team) { send(EventFlagVictory, team); }

void Arena::soccerGoal(uint32_t team) { send(EventSoccerGoal, team); }

void Arena::command(const ArenaPlayer& sender, std::string_view word, std::string_view parameters) {
    const stand_in::CommandRecord record(word, parameters);
    send(EventCommand, slot(sender.record.record()), slot(record.record()));
}

void Arena::help(const ArenaPlayer& asker, std::string_view topic) {
    const stand_in::CommandRecord record("help", topic);
    send(EventHelp, slot(asker.record.record()), slot(record.record()));
}

void KADREL_CALL Arena::receive(BotEvent& request) {
    if (current != nullptr) current->print(request);
}

std::string Arena::addresseeName(uint32_t ident) const {
    for (const ArenaPlayer& player : players) {
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
    if (request.code == RequestEcho) {
        out << "[echo] " << text(request.p[0]) << '\n';
        return;
    }
    if (request.code != RequestSay) {
        out << "[request " << request.code << "]\n";
        return;
    }
    const auto mode = static_cast<uint32_t>(request.p[0]);
    const auto addressee = static_cast<uint32_t>(request.p[2]);
    switch (mode) {
        case SayPublic:
            out << "[public";
            if (addressee != 0) out << " to " << addressee;
            break;
        case SayTeam:
            out << "[team " << addressee;
            break;
        case SayPrivate:
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
    if (players.empty()) to << "nobody is in the arena\n";
    for (const ArenaPlayer& player : players) {
        to << player.name << ": ident " << player.ident << ", level " << player.accessLevel << ", team "
           << player.team << ", ship " << static_cast<unsigned>(player.ship)
           << (player.ship == spectatorShip ? " (spectator)" : "") << ", at " << player.x << ' ' << player.y
           << " (" << sectorOf(player.x, player.y) << "), carrying " << player.flagCount << ", scores "
           << player.score1 << ' ' << player.score2;
        if (!player.squad.empty()) to << ", squad " << player.squad;
        to << '\n';
    }
    if (flags.empty()) to << "no uncarried flags\n";
    for (const ArenaFlag& flag : flags) {
        to << "flag at tile " << flag.tileX << ' ' << flag.tileY << " ("
           << sectorOf(flag.tileX * 16, flag.tileY * 16) << ")\n";
    }
}

}  // namespace kadrel::tools
