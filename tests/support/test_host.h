// A stand-in for the host bot program. It loads the built plug-in the way the
// host does, builds the host's records as raw bytes at the contract's offsets,
// sends events through the exported talk and records every request that
// reaches its callback.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_contract.h"
#include "tools/stand_in/host_records.h"
#include "tools/stand_in/plugin_library.h"

namespace kadrel::testing {

// Version 6.0, the plug-in's own.
constexpr uint32_t currentVersion = 0x00060000;

// The host's records, built at the contract's byte offsets.
using stand_in::CommandRecord;
using stand_in::FlagRecord;
using stand_in::HostListRecord;
using stand_in::PlayerRecord;

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

    stand_in::PluginLibrary library;
};

}  // namespace kadrel::testing
