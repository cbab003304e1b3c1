// A stand-in for the host bot program. It loads the built plug-in the way the
// host does, builds the host's records as raw bytes at the contract's offsets,
// sends events through the exported talk and records every request that
// reaches its callback.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_contract.h"

namespace kadrel::testing {

// Version 6.0, the plug-in's own.
constexpr uint32_t currentVersion = 0x00060000;

// One player record, 228 bytes, fields written at the host's byte offsets.
class PlayerRecord {
public:
    explicit PlayerRecord(std::string_view name = "Alice", uint16_t ident = 1, uint32_t accessLevel = 0,
                          uint16_t team = 0);

    // The name field takes up to 20 bytes; a name of exactly 20 bytes has no
    // terminator inside the field.
    PlayerRecord& name(std::string_view name);
    PlayerRecord& ident(uint16_t value);
    PlayerRecord& accessLevel(uint32_t value);
    PlayerRecord& flagCount(uint16_t value);
    PlayerRecord& squad(std::string_view squad);
    PlayerRecord& ship(uint8_t value);
    PlayerRecord& position(int32_t x, int32_t y);
    PlayerRecord& team(uint16_t value);
    PlayerRecord& scores(int32_t score1, int32_t score2);

    std::string nameText() const;
    uint16_t identValue() const;
    const void* record() const { return bytes.data(); }

private:
    template <class T>
    void put(size_t offset, T value);

    alignas(8) std::array<uint8_t, 228> bytes{};
};

class FlagRecord {
public:
    FlagRecord(uint16_t tileX, uint16_t tileY);
    const void* record() const { return bytes.data(); }

private:
    alignas(4) std::array<uint8_t, 4> bytes{};
};

// The host's list: a header whose first field points to the head node and
// whose third field is the count; nodes of element and next pointers.
class HostListRecord {
public:
    HostListRecord();
    HostListRecord(const HostListRecord&) = delete;
    HostListRecord& operator=(const HostListRecord&) = delete;

    void add(const void* element);
    void clear();
    const void* record() const { return header.data(); }

private:
    void relink();

    struct Node {
        const void* item;
        const Node* next;
    };
    std::deque<Node> nodes;
    alignas(8) std::array<uint8_t, 3 * sizeof(void*)> header{};
};

class CommandRecord {
public:
    CommandRecord(std::string_view word, std::string_view parameters);
    CommandRecord(const CommandRecord&) = delete;
    CommandRecord& operator=(const CommandRecord&) = delete;
    const void* record() const { return bytes.data(); }

private:
    std::string word;
    std::string parameters;
    alignas(8) std::array<uint8_t, 16 + 2 * sizeof(void*)> bytes{};
};

struct Request {
    uint32_t handle = 0;
    int32_t code = 0;
    uintptr_t p[5] = {};
    std::string text;  // copied during the callback

    bool isEcho() const { return code == 0; }
    bool isSay() const { return code == 1; }
    uint32_t mode() const { return static_cast<uint32_t>(p[0]); }
    uint32_t addressee() const { return static_cast<uint32_t>(p[2]); }
};

// One loaded copy of the plug-in. Only one may exist at a time; destroying it
// unloads the library, which frees every bot instance.
class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    void send(uint32_t handle, int32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0,
              uintptr_t p3 = 0, uintptr_t p4 = 0);

    void init(uint32_t handle, uint32_t version = currentVersion);
    void term(uint32_t handle);
    void tick(uint32_t handle, int count = 1);
    void command(uint32_t handle, const PlayerRecord& sender, std::string_view word, std::string_view parameters = "");
    void help(uint32_t handle, const PlayerRecord& asker, std::string_view topic = "");
    void death(uint32_t handle, const PlayerRecord& died, const PlayerRecord& killer);
    void prize(uint32_t handle, const PlayerRecord& player, int32_t prizeType);
    void flagVictory(uint32_t handle, uint32_t team);
    void soccerGoal(uint32_t handle, uint32_t team);

    // The arena as the host lists it; the plug-in walks these lists.
    HostListRecord players;
    HostListRecord flags;

    std::vector<Request> requests;
    std::vector<std::string> texts() const;
    void clearRequests() { requests.clear(); }

private:
    static void KADREL_CALL callback(BotEvent& request);

    void* library = nullptr;
    void(KADREL_CALL* talk)(BotEvent&) = nullptr;
};

}  // namespace kadrel::testing
