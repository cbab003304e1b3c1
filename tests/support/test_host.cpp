#include "test_host.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kadrel::testing {

std::string pluginLibraryPath() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of("\\/") + 1) + "kadrel.dll";
#else
    return KADREL_LIBRARY_PATH;
#endif
}

namespace {

void failTheTest(const std::string& fault) { ADD_FAILURE() << "the host refuses the request: " << fault; }

}  // namespace

// The collector refuses a second host before the library is loaded a second time.
TestHost::TestHost()
    : RequestCollector([this](BotEvent& event) { library.talk(event); }, failTheTest), library(pluginLibraryPath()) {}

}  // namespace kadrel::testing
