#include "test_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "tools/stand_in/request_check.h"

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

TestHost* current = nullptr;

// Refuses a second host before the library is loaded a second time.
std::string claimHost() {
    if (current != nullptr) throw std::logic_error("one test host at a time");
    return pluginLibraryPath();
}

}  // namespace

TestHost::TestHost() : library(claimHost()) { current = this; }

TestHost::~TestHost() { current = nullptr; }

void KADREL_CALL TestHost::callback(BotEvent& request) {
    const stand_in::CheckedRequest checked = stand_in::checkRequest(request, current->deliveringHandle);
    EXPECT_EQ(checked.fault, "") << "the host refuses the request";
    Request copy;
    copy.handle = request.handle;
    copy.code = request.code;
    std::memcpy(copy.p, request.p, sizeof copy.p);
    if (checked.text != nullptr) copy.text = checked.text;
    current->requests.push_back(std::move(copy));
}

void TestHost::deliver(BotEvent& event) {
    deliveringHandle = event.handle;
    library.talk(event);
    deliveringHandle = 0;
}

uintptr_t TestHost::callbackAddress() const { return reinterpret_cast<uintptr_t>(&TestHost::callback); }

std::vector<std::string> TestHost::texts() const {
    std::vector<std::string> result;
    for (const Request& request : requests) result.push_back(request.text);
    return result;
}

}  // namespace kadrel::testing
