#include "test_host.h"

#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kadrel::testing {

namespace {

// The host contract's offsets, written down here on their own so that the
// tests check the plug-in's declarations instead of reusing them.
constexpr size_t identOffset = 0;
constexpr size_t accessLevelOffset = 4;
constexpr size_t flagCountOffset = 12;
constexpr size_t nameOffset = 21;
constexpr size_t nameSize = 20;
constexpr size_t squadOffset = 41;
constexpr size_t squadSize = 116;
constexpr size_t shipOffset = 157;
constexpr size_t xOffset = 176;
constexpr size_t yOffset = 180;
constexpr size_t teamOffset = 216;
constexpr size_t score1Offset = 220;
constexpr size_t score2Offset = 224;
constexpr size_t commandNameOffset = 16;
constexpr size_t listCountOffset = 2 * sizeof(void*);

TestHost* current = nullptr;

template <class T>
void putAt(uint8_t* bytes, size_t offset, T value) {
    std::memcpy(bytes + offset, &value, sizeof value);
}

#ifdef _WIN32
std::string libraryPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1) + "kadrel.dll";
}
#endif

}  // namespace

PlayerRecord::PlayerRecord(std::string_view playerName, uint16_t identValue, uint32_t level, uint16_t teamValue) {
    name(playerName);
    ident(identValue);
    accessLevel(level);
    team(teamValue);
}

template <class T>
void PlayerRecord::put(size_t offset, T value) {
    putAt(bytes.data(), offset, value);
}

PlayerRecord& PlayerRecord::name(std::string_view value) {
    if (value.size() > nameSize) throw std::invalid_argument("a player name holds at most 20 bytes");
    std::memset(bytes.data() + nameOffset, 0, nameSize);
    std::memcpy(bytes.data() + nameOffset, value.data(), value.size());
    return *this;
}

PlayerRecord& PlayerRecord::ident(uint16_t value) {
    put(identOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::accessLevel(uint32_t value) {
    put(accessLevelOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::flagCount(uint16_t value) {
    put(flagCountOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::squad(std::string_view value) {
    if (value.size() >= squadSize) throw std::invalid_argument("squad too long for the record");
    std::memset(bytes.data() + squadOffset, 0, squadSize);
    std::memcpy(bytes.data() + squadOffset, value.data(), value.size());
    return *this;
}

PlayerRecord& PlayerRecord::ship(uint8_t value) {
    put(shipOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::position(int32_t x, int32_t y) {
    put(xOffset, x);
    put(yOffset, y);
    return *this;
}

PlayerRecord& PlayerRecord::team(uint16_t value) {
    put(teamOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::scores(int32_t score1, int32_t score2) {
    put(score1Offset, score1);
    put(score2Offset, score2);
    return *this;
}

std::string PlayerRecord::nameText() const {
    const char* field = reinterpret_cast<const char*>(bytes.data() + nameOffset);
    return std::string(field, strnlen(field, nameSize));
}

uint16_t PlayerRecord::identValue() const {
    uint16_t value;
    std::memcpy(&value, bytes.data() + identOffset, sizeof value);
    return value;
}

FlagRecord::FlagRecord(uint16_t tileX, uint16_t tileY) {
    putAt(bytes.data(), 0, tileX);
    putAt(bytes.data(), 2, tileY);
}

HostListRecord::HostListRecord() { relink(); }

void HostListRecord::add(const void* element) {
    nodes.push_back({element, nullptr});
    relink();
}

void HostListRecord::clear() {
    nodes.clear();
    relink();
}

void HostListRecord::relink() {
    for (size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].next = &nodes[i + 1];
    if (!nodes.empty()) nodes.back().next = nullptr;
    header.fill(0);
    putAt(header.data(), 0, nodes.empty() ? nullptr : static_cast<const void*>(&nodes.front()));
    putAt(header.data(), listCountOffset, static_cast<uint32_t>(nodes.size()));
}

CommandRecord::CommandRecord(std::string_view wordText, std::string_view parameterText)
    : word(wordText), parameters(parameterText) {
    putAt(bytes.data(), commandNameOffset, word.c_str());
    putAt(bytes.data(), commandNameOffset + sizeof(void*), parameters.c_str());
}

TestHost::TestHost() {
    if (current != nullptr) throw std::logic_error("one test host at a time");
#ifdef _WIN32
    library = LoadLibraryA(libraryPath().c_str());
    if (library == nullptr) throw std::runtime_error("cannot load kadrel.dll");
#if defined(_WIN64)
    const char* exported = "_Z4talkR8BotEvent";
#else
    const char* exported = "?talk@@YGXAAUBotEvent@@@Z";
#endif
    talk = reinterpret_cast<decltype(talk)>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), exported)));
#else
    library = dlopen(KADREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error(std::string("cannot load the plug-in: ") + dlerror());
    talk = reinterpret_cast<decltype(talk)>(dlsym(library, "_Z4talkR8BotEvent"));
#endif
    if (talk == nullptr) throw std::runtime_error("the plug-in exports no talk");
    current = this;
}

TestHost::~TestHost() {
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
    current = nullptr;
}

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
    talk(event);
}

namespace {

uintptr_t slot(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

}  // namespace

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
