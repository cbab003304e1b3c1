#include "run_program.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace kadrel::testing {

namespace {

std::string slurp(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::remove(path);
    return text;
}

}  // namespace

ProgramRun runKadrel(const std::string& arguments, const std::string& input, const char* outputPath) {
    {
        std::ofstream stdinFile(".kadrel-in", std::ios::binary);
        stdinFile << input;
    }
    const std::string command = std::string("'") + KADREL_PROGRAM + "' " + arguments + " <.kadrel-in >'" +
                                (outputPath != nullptr ? outputPath : ".kadrel-out") + "' 2>.kadrel-err";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (outputPath == nullptr) run.out = slurp(".kadrel-out");
    run.err = slurp(".kadrel-err");
    std::remove(".kadrel-in");
    return run;
}

}  // namespace kadrel::testing
