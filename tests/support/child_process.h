// A program the tests run beside them, as a service manager or a host's
// operator would: in a folder of its own, its standard input and output
// through pipes, its errors appended to a file. Killed when this goes, so
// that a failing test leaves nothing running. POSIX only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel::testing {

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& arguments, const std::filesystem::path& directory,
                 const std::filesystem::path& errors);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid > 0; }
    // False once it has gone.
    bool write(std::string_view text);
    // Its next line of output, waiting at most `patience`; nothing at its end or when time runs out.
    std::optional<std::string> readLine(std::chrono::milliseconds patience);
    // Signals it and waits for it; its exit status, or -1 when a signal ended it. What
    // it printed before stays to be read.
    int stop(int signal);

private:
    pid_t pid = 0;
    int input = -1;
    int output = -1;
    std::string pending;
};

}  // namespace kadrel::testing
