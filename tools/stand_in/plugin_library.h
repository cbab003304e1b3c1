// The built plug-in, loaded the way the host loads it: as a shared library
// whose one entry point is the exported talk.
#pragma once

#include <string>

#include "host/host_contract.h"

namespace kadrel::stand_in {

class PluginLibrary {
public:
    // Throws std::runtime_error when the library cannot be loaded or does not
    // export talk.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    void talk(BotEvent& event) const { entry(event); }

private:
    void unload();

    void* library = nullptr;
    void(KADREL_CALL* entry)(BotEvent&) = nullptr;
};

}  // namespace kadrel::stand_in
