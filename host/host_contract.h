// The contract with the host bot program: the record that crosses the
// boundary both ways, the event and request codes, and the host's own records
// that the plug-in reads in place. On 32-bit builds every offset and size is
// the host's and is checked below; 64-bit builds (tests and tools only) keep
// the same declarations with pointer-sized slots.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define KADREL_CALL __stdcall
#else
#define KADREL_CALL
#endif

// Windows builds name their one export in a module-definition file.
#if defined(_WIN32)
#define KADREL_EXPORT
#else
#define KADREL_EXPORT __attribute__((visibility("default")))
#endif

struct BotEvent {
    uint32_t handle;
    int32_t code;
    uintptr_t p[5];
};

using HostCallback = void(KADREL_CALL*)(BotEvent& request);

// The exported entry point: one event of one bot.
KADREL_EXPORT void KADREL_CALL talk(BotEvent& event);

namespace kadrel {

enum EventCode : int32_t {
    EventInit = 0,
    EventTerm = 1,
    EventTick = 2,
    EventArenaEnter = 3,
    EventArenaData = 4,
    EventArenaLeave = 5,
    EventPlayerDeath = 12,
    EventPlayerPrize = 14,
    EventCommand = 20,
    EventHelp = 21,
    EventFlagVictory = 27,
    EventSoccerGoal = 30,
};

constexpr uint32_t highestEventCode = 34;

enum RequestCode : int32_t {
    RequestEcho = 0,
    RequestSay = 1,
};

enum ChatMode : uint32_t {
    SayPublic = 2,
    SayTeam = 4,
    SayPrivate = 5,
};

constexpr uint16_t interfaceMajor = 6;
constexpr uint16_t interfaceMinor = 0;

constexpr uint8_t spectatorShip = 8;

// The host's record of one player; only the named fields are read.
struct HostPlayer {
    uint16_t ident;
    uint8_t unread0[2];
    uint32_t accessLevel;
    uint8_t unread1[4];
    uint16_t flagCount;
    uint8_t unread2[7];
    char name[20];
    char squad[116];
    uint8_t ship;
    uint8_t unread3[18];
    int32_t x;
    int32_t y;
    uint8_t unread4[32];
    uint16_t team;
    uint8_t unread5[2];
    int32_t score1;
    int32_t score2;
};

static_assert(offsetof(HostPlayer, ident) == 0);
static_assert(offsetof(HostPlayer, accessLevel) == 4);
static_assert(offsetof(HostPlayer, flagCount) == 12);
static_assert(offsetof(HostPlayer, name) == 21);
static_assert(offsetof(HostPlayer, squad) == 41);
static_assert(offsetof(HostPlayer, ship) == 157);
static_assert(offsetof(HostPlayer, x) == 176);
static_assert(offsetof(HostPlayer, y) == 180);
static_assert(offsetof(HostPlayer, team) == 216);
static_assert(offsetof(HostPlayer, score1) == 220);
static_assert(offsetof(HostPlayer, score2) == 224);
static_assert(sizeof(HostPlayer) == 228);

// The host's parsed chat command.
struct ChatCommand {
    uint8_t unread[16];
    const char* commandName;
    const char* parameterText;
};

struct HostListNode {
    const void* item;
    const HostListNode* next;
};

struct HostList {
    const HostListNode* head;
    const void* unread;
    uint32_t count;
};

struct HostFlag {
    uint16_t tileX;
    uint16_t tileY;
};

static_assert(offsetof(BotEvent, p) == 8);
static_assert(offsetof(ChatCommand, commandName) == 16);
static_assert(offsetof(ChatCommand, parameterText) == 16 + sizeof(void*));
static_assert(offsetof(HostList, count) == 2 * sizeof(void*));
static_assert(sizeof(HostFlag) == 4);
#if UINTPTR_MAX == UINT32_MAX
static_assert(sizeof(BotEvent) == 28);
static_assert(offsetof(HostList, count) == 8);
static_assert(offsetof(ChatCommand, parameterText) == 20);
#endif

// Walks a host list from its head, yielding each element as T.
template <class T>
class HostListView {
public:
    explicit HostListView(const HostList* list) : list(list) {}

    class Iterator {
    public:
        explicit Iterator(const HostListNode* node) : node(node) {}
        const T& operator*() const { return *static_cast<const T*>(node->item); }
        Iterator& operator++() {
            node = node->next;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return node != other.node; }

    private:
        const HostListNode* node;
    };

    // A list the host has not delivered yet reads as empty.
    Iterator begin() const { return Iterator(list != nullptr ? list->head : nullptr); }
    Iterator end() const { return Iterator(nullptr); }
    uint32_t count() const { return list != nullptr ? list->count : 0; }

private:
    const HostList* list;
};

}  // namespace kadrel
