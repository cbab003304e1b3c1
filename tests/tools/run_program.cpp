#include "run_program.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/whole_file.h"

namespace kadrel::testing {

namespace {

// The file's bytes, and the file gone.
std::string takeFile(const char* path) {
    std::string text = tools::readWholeFile(path).value_or("");
    std::remove(path);
    return text;
}

}  // namespace

ProgramRun runKadrel(const std::string& arguments, const std::string& input, const char* outputPath,
                     const std::string& wrapper) {
    {
        std::ofstream stdinFile(".kadrel-in", std::ios::binary);
        stdinFile << input;
    }
    // A run that waits on a FIFO or a lock fails its test instead of stalling the suite.
    const std::string command = "timeout 60 " + wrapper + " '" + KADREL_PROGRAM + "' " + arguments + " <.kadrel-in >'" +
                                (outputPath != nullptr ? outputPath : ".kadrel-out") + "' 2>.kadrel-err";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (outputPath == nullptr) run.out = takeFile(".kadrel-out");
    run.err = takeFile(".kadrel-err");
    std::remove(".kadrel-in");
    return run;
}

std::string maskTimes(std::string text) {
    const std::string form = "dddd-dd-ddTdd:dd:ddZ";
    for (size_t at = 0; at + form.size() <= text.size(); ++at) {
        const bool time = std::equal(form.begin(), form.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
                                     [](char f, char c) { return f == 'd' ? c >= '0' && c <= '9' : f == c; });
        if (time) text.replace(at, form.size(), "TIME");
    }
    return text;
}

std::string timeText(std::time_t seconds) {
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&seconds));
    return text;
}

Balances exportedBalances() {
    Balances found;
    std::istringstream csv(runKadrel("bank export --csv").out);
    std::string line;
    for (std::getline(csv, line); std::getline(csv, line);) {
        found[line.substr(0, line.find(','))] = std::stoll(line.substr(line.find(',') + 1));
    }
    return found;
}

}  // namespace kadrel::testing
