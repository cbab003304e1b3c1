#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kadrel::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::filesystem::path& directory,
                           const std::filesystem::path& errors) {
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, in[0], 0);
    posix_spawn_file_actions_adddup2(&files, out[1], 1);
    posix_spawn_file_actions_addopen(&files, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addchdir_np(&files, directory.c_str());
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&files);
    close(in[0]);
    close(out[1]);
    input = in[1];
    output = out[0];
}

bool ChildProcess::write(std::string_view text) {
    // A child gone must not end the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    while (!text.empty()) {
        const ssize_t written = ::write(input, text.data(), text.size());
        if (written <= 0) return false;
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (const size_t end = pending.find('\n'); end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd ready{output, POLLIN, 0};
        if (output < 0 || left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
        char buffer[4096];
        const ssize_t got = read(output, buffer, sizeof buffer);
        if (got <= 0) return std::nullopt;
        pending.append(buffer, static_cast<size_t>(got));
    }
}

ChildProcess::~ChildProcess() {
    stop(SIGKILL);
    if (output >= 0) close(output);
}

int ChildProcess::stop(int signal) {
    if (input >= 0) close(input);
    input = -1;
    if (pid <= 0) return -1;
    kill(pid, signal);
    int raw = 0;
    waitpid(pid, &raw, 0);
    pid = 0;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace kadrel::testing
