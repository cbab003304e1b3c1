// A stand-in for the host bot program. It loads the built plug-in the way the
// host does, builds the host's records as raw bytes at the contract's offsets,
// sends events through the exported talk and records every request that
// reaches its callback, failing the test for one the host would refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "tools/stand_in/event_sender.h"
#include "tools/stand_in/host_records.h"
#include "tools/stand_in/plugin_library.h"

namespace kadrel::testing {

using stand_in::currentVersion;

// The host's records, built at the contract's byte offsets.
using stand_in::CommandRecord;
using stand_in::FlagRecord;
using stand_in::HostListRecord;
using stand_in::PlayerRecord;

// The built plug-in: beside the test program on Windows, where the build put
// it elsewhere.
std::string pluginLibraryPath();

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
class TestHost final : public stand_in::EventSender {
public:
    TestHost();
    ~TestHost();

    std::vector<Request> requests;
    std::vector<std::string> texts() const;
    void clearRequests() { requests.clear(); }

private:
    void deliver(BotEvent& event) override;
    uintptr_t callbackAddress() const override;
    static void KADREL_CALL callback(BotEvent& request);

    stand_in::PluginLibrary library;
    uint32_t deliveringHandle = 0;
};

}  // namespace kadrel::testing
