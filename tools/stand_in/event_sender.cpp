#include "tools/stand_in/event_sender.h"

namespace kadrel::stand_in {

namespace {

uintptr_t slot(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

}  // namespace

void EventSender::send(uint32_t handle, int32_t code, uintptr_t p0, uintptr_t p1, uintptr_t p2, uintptr_t p3,
                       uintptr_t p4) {
    BotEvent event{handle, code, {p0, p1, p2, p3, p4}};
    deliver(event);
}

void EventSender::init(uint32_t handle, uint32_t version) {
    send(handle, eventInit, version, callbackAddress(), slot(players.record()), slot(flags.record()));
}

void EventSender::term(uint32_t handle) { send(handle, eventTerm); }

void EventSender::tick(uint32_t handle, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) send(handle, eventTick);
}

void EventSender::command(uint32_t handle, const PlayerRecord& sender, std::string_view word,
                          std::string_view parameters) {
    const CommandRecord record(word, parameters);
    send(handle, eventCommand, slot(sender.record()), slot(record.record()));
}

void EventSender::help(uint32_t handle, const PlayerRecord& asker, std::string_view topic) {
    const CommandRecord record("help", topic);
    send(handle, eventHelp, slot(asker.record()), slot(record.record()));
}

void EventSender::death(uint32_t handle, const PlayerRecord& died, const PlayerRecord& killer) {
    send(handle, eventPlayerDeath, slot(died.record()), slot(killer.record()));
}

void EventSender::prize(uint32_t handle, const PlayerRecord& player, int32_t prizeType) {
    send(handle, eventPlayerPrize, slot(player.record()), static_cast<uint32_t>(prizeType));
}

void EventSender::flagVictory(uint32_t handle, uint32_t team) { send(handle, eventFlagVictory, team); }

void EventSender::soccerGoal(uint32_t handle, uint32_t team) { send(handle, eventSoccerGoal, team); }

}  // namespace kadrel::stand_in
