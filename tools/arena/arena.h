// A stand-in arena: the players and flags that a host would list, the loaded
// plug-in, and the events a host would send it. Every request the plug-in
// sends back is printed as a line a person can read.
#pragma once

#include <cstdint>
#include <list>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "host/host_contract.h"
#include "tools/stand_in/event_sender.h"
#include "tools/stand_in/host_records.h"
#include "tools/stand_in/plugin_library.h"

namespace kadrel::tools {

// A line of the arena's language that cannot be carried out.
class ScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ArenaPlayer {
    std::string name;
    uint16_t ident = 0;
    uint32_t accessLevel = 0;
    uint16_t team = 0;
    std::string squad;
    uint8_t ship = 0;
    int32_t x = 8192;
    int32_t y = 8192;
    uint16_t flagCount = 0;
    int32_t score1 = 0;
    int32_t score2 = 0;
    // The host's record of the player; the plug-in reads it in place, so its
    // address stays the same for as long as the player is in the arena.
    stand_in::PlayerRecord record;

    void updateRecord();
};

struct ArenaFlag {
    uint16_t tileX;
    uint16_t tileY;
    stand_in::FlagRecord record;
};

// Events go to the plug-in through the sender's functions, for the one bot
// of handle botHandle; the lists it sends are the arena's players and flags.
class Arena final : public stand_in::EventSender {
public:
    static constexpr uint32_t botHandle = 1;

    Arena(const std::string& libraryPath, std::ostream& out);
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // Players, found by name as the host finds them: ASCII capitals folded.
    ArenaPlayer& join(const std::string& name);
    void leave(const std::string& name);
    ArenaPlayer& player(const std::string& name);
    uint16_t freeIdent() const;
    const std::list<ArenaPlayer>& everyone() const { return arenaPlayers; }

    void addFlag(uint16_t tileX, uint16_t tileY);
    void clearFlags();

    void describe(std::ostream& out) const;
    std::ostream& output() const { return out; }

private:
    static void KADREL_CALL receive(BotEvent& request);
    void print(const BotEvent& request) const;
    std::string addresseeName(uint32_t ident) const;
    void deliver(BotEvent& event) override;
    uintptr_t callbackAddress() const override;

    stand_in::PluginLibrary library;
    std::ostream& out;
    std::list<ArenaPlayer> arenaPlayers;
    std::list<ArenaFlag> arenaFlags;
};

// Text as a transcript shows it: control bytes written as \xNN.
std::string printable(std::string_view text);

}  // namespace kadrel::tools
