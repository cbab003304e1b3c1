#include <windows.h>

#include "platform/program_services.h"

namespace kadrel::platform {

std::atomic<bool> stopRequested{false};

namespace {

// Runs on a thread of its own, which the system starts for the event.
BOOL WINAPI requestStop(DWORD event) {
    stopRequested = true;
    // The process ends when this returns from these: the program's own stop
    // ends it sooner, as its main thread returns.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(5000);
    return TRUE;
}

}  // namespace

void catchStopRequests() { SetConsoleCtrlHandler(requestStop, TRUE); }

std::string hostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof name;
    return GetComputerNameA(name, &length) ? std::string(name, length) : "";
}

}  // namespace kadrel::platform
