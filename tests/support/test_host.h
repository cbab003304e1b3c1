// A stand-in for the host bot program. It loads the built plug-in the way the
// host does, builds the host's records as raw bytes at the contract's offsets,
// sends events through the exported talk and records every request that
// reaches its callback, failing the test for one the host would refuse.
#pragma once

#include <string>

#include "request_collector.h"
#include "tools/stand_in/host_records.h"
#include "tools/stand_in/plugin_library.h"

namespace kadrel::testing {

// The host's records, built at the contract's byte offsets.
using stand_in::CommandRecord;
using stand_in::FlagRecord;
using stand_in::PlayerRecord;

// The built plug-in: beside the test program on Windows, where the build put
// it elsewhere.
std::string pluginLibraryPath();

// One loaded copy of the plug-in. Only one may exist at a time; destroying it
// unloads the library, which frees every bot instance.
class TestHost final : public RequestCollector {
public:
    TestHost();

private:
    stand_in::PluginLibrary library;
};

}  // namespace kadrel::testing
