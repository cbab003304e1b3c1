// The events that a stand-in host sends, their slots filled as the host's
// contract lays them out. A host says how an event reaches the plug-in and
// which of its functions receives the plug-in's requests.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/host_contract.h"
#include "tools/stand_in/host_records.h"

namespace kadrel::testing {

// Version 6.0, the plug-in's own.
constexpr uint32_t currentVersion = 0x00060000;

class EventSender {
public:
    EventSender() = default;
    EventSender(const EventSender&) = delete;
    EventSender& operator=(const EventSender&) = delete;

    void send(uint32_t handle, int32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0,
              uintptr_t p3 = 0, uintptr_t p4 = 0);

    void init(uint32_t handle, uint32_t version = currentVersion);
    void term(uint32_t handle);
    void tick(uint32_t handle, int count = 1);
    void command(uint32_t handle, const stand_in::PlayerRecord& sender, std::string_view word,
                 std::string_view parameters = "");
    void help(uint32_t handle, const stand_in::PlayerRecord& asker, std::string_view topic = "");
    void death(uint32_t handle, const stand_in::PlayerRecord& died, const stand_in::PlayerRecord& killer);
    void prize(uint32_t handle, const stand_in::PlayerRecord& player, int32_t prizeType);
    void flagVictory(uint32_t handle, uint32_t team);
    void soccerGoal(uint32_t handle, uint32_t team);

    // The arena as the host lists it; the plug-in walks these lists.
    stand_in::HostListRecord players;
    stand_in::HostListRecord flags;

protected:
    ~EventSender() = default;

    // Hands the event to the plug-in's talk.
    virtual void deliver(BotEvent& event) = 0;
    // What the init event gives as the callback.
    virtual uintptr_t callbackAddress() const = 0;
};

}  // namespace kadrel::testing
