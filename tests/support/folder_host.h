// Bots of one folder run in this process, as a host runs them, for stories
// in which a tool works beside them: the plug-in's code is linked in, so
// that its journal's lock can be made to fail through the platform's table
// of system calls. Each bot has its own journal handle, so that bots lock
// each other out as processes do. POSIX only.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>

#include "host/host_contract.h"
#include "host/instances.h"
#include "platform/system_calls.h"
#include "request_collector.h"

namespace kadrel::testing {

class FolderHost final : public RequestCollector {
public:
    FolderHost()
        : RequestCollector(::talk, [](const std::string& fault) { ADD_FAILURE() << "the host refuses: " << fault; }) {
        platform::systemCalls = faulty;
    }
    ~FolderHost() {
        destroyInstances();
        locksFail = false;
        platform::systemCalls = real;
    }

    // While set, every bot's attempt to lock the journal fails.
    static inline bool locksFail = false;

private:
    static inline const platform::SystemCalls real = platform::systemCalls;
    static inline const platform::SystemCalls faulty = [] {
        platform::SystemCalls calls = platform::systemCalls;
        calls.lockRange = [](int file, int command, struct flock* range) {
            return locksFail && range->l_type != F_UNLCK ? -1 : real.lockRange(file, command, range);
        };
        return calls;
    }();
};

}  // namespace kadrel::testing
