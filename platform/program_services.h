// What the kadrel program's long-running commands ask of the system, kept out
// of the plug-in (which must import nothing beyond the C runtime and
// KERNEL32): a stop asked by the operator, and the machine's name. The POSIX
// and Windows halves lie beside it.
#pragma once

#include <atomic>
#include <string>

namespace kadrel::platform {

// Set once the operator asks the program to stop, after catchStopRequests():
// SIGTERM or SIGINT on POSIX; Ctrl+C, Ctrl+Break or the console's closing,
// a log-off or a shut-down on Windows, where the program then has a few
// seconds to finish.
extern std::atomic<bool> stopRequested;
void catchStopRequests();

// The machine's name, for the operator's logs; "" when it cannot be had.
std::string hostName();

}  // namespace kadrel::platform
