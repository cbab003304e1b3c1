#include <signal.h>
#include <unistd.h>

#include "platform/program_services.h"

namespace kadrel::platform {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

namespace {

void requestStop(int) { stopRequested = true; }

}  // namespace

void catchStopRequests() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

std::string hostName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

}  // namespace kadrel::platform
