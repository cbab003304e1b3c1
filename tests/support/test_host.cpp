#include "test_host.h"

#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kadrel::testing {

namespace {

TestHost* current = nullptr;

std::string libraryPath() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1) + "kadrel.dll";
#else
    return KADREL_LIBRARY_PATH;
#endif
}

// Refuses a second host before the library is loaded a second time.
std::string claimHost() {
    if (current != nullptr) throw std::logic_error("one test host at a time");
    return libraryPath();
}

uintptr_t slot(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

}  // namespace

TestHost::TestHost() : library(claimHost()) { current = this; }

TestHost::~TestHost() { current = nullptr; }

void KADREL_CALL TestHost::callback(BotEvent& request) {
    Request copy;
    copy.handle = request.handle;
    copy.code = request.code;
    std::memcpy(copy.p, request.p, sizeof copy.p);
    const uintptr_t textSlot = request.code == 0 ? request.p[0] : request.p[3];
    if (textSlot != 0) copy.text = reinterpret_cast<const char*>(textSlot);
    current->requests.push_back(std::move(copy));
}

void TestHost::send(uint32_t handle, int32_t code, uintptr_t p0, uintptr_t p1, uintptr_t p2, uintptr_t p3,
                    uintptr_t p4) {
    BotEvent event{handle, code, {p0, p1, p2, p3, p4}};
    library.talk(event);
}

void TestHost::init(uint32_t handle, uint32_t version) {
    send(handle, EventInit, version, reinterpret_cast<uintptr_t>(&TestHost::callback), slot(players.record()),
         slot(flags.record()));
}

void TestHost::term(uint32_t handle) { send(handle, EventTerm); }

void TestHost::tick(uint32_t handle, int count) {
    for (int i = 0; i < count; ++i) send(handle, EventTick);
}

void TestHost::command(uint32_t handle, const PlayerRecord& sender, std::string_view word,
                       std::string_view parameters) {
    const CommandRecord record(word, parameters);
    send(handle, EventCommand, slot(sender.record()), slot(record.record()));
}

void TestHost::help(uint32_t handle, const PlayerRecord& asker, std::string_view topic) {
    const CommandRecord record("help", topic);
    send(handle, EventHelp, slot(asker.record()), slot(record.record()));
}

void TestHost::death(uint32_t handle, const PlayerRecord& died, const PlayerRecord& killer) {
    send(handle, EventPlayerDeath, slot(died.record()), slot(killer.record()));
}

void TestHost::prize(uint32_t handle, const PlayerRecord& player, int32_t prizeType) {
    send(handle, EventPlayerPrize, slot(player.record()), static_cast<uint32_t>(prizeType));
}

void TestHost::flagVictory(uint32_t handle, uint32_t team) { send(handle, EventFlagVictory, team); }

void TestHost::soccerGoal(uint32_t handle, uint32_t team) { send(handle, EventSoccerGoal, team); }

std::vector<std::string> TestHost::texts() const {
    std::vector<std::string> result;
    for (const Request& request : requests) result.push_back(request.text);
    return result;
}

}  // namespace kadrel::testing
