// The events that the programs standing in for the host send (the test host,
// the fuzz host and `kadrel arena`), their slots filled as the host's contract
// lays them out. Each says how an event reaches the plug-in and which of its
// functions receives the plug-in's requests.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/host_contract.h"
#include "tools/stand_in/host_numbers.h"
#include "tools/stand_in/host_records.h"

namespace kadrel::stand_in {

class EventSender {
public:
    EventSender() = default;
    EventSender(const EventSender&) = delete;
    EventSender& operator=(const EventSender&) = delete;

    void send(uint32_t handle, int32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0,
              uintptr_t p3 = 0, uintptr_t p4 = 0);

    void init(uint32_t handle, uint32_t version = currentVersion);
    void term(uint32_t handle);
    void tick(uint32_t handle, uint32_t count = 1);
    void command(uint32_t handle, const PlayerRecord& sender, std::string_view word,
                 std::string_view parameters = "");
    void help(uint32_t handle, const PlayerRecord& asker, std::string_view topic = "");
    void death(uint32_t handle, const PlayerRecord& died, const PlayerRecord& killer);
    void prize(uint32_t handle, const PlayerRecord& player, int32_t prizeType);
    void flagVictory(uint32_t handle, uint32_t team);
    void soccerGoal(uint32_t handle, uint32_t team);

    // The arena as the host lists it; the plug-in walks these lists.
    HostListRecord players;
    HostListRecord flags;

protected:
    ~EventSender() = default;

    // Hands the event to the plug-in's talk.
    virtual void deliver(BotEvent& event) = 0;
    // What the init event gives as the callback.
    virtual uintptr_t callbackAddress() const = 0;
};

}  // namespace kadrel::stand_in
