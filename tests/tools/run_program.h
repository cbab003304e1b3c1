// Runs the built kadrel program in the current directory and collects what
// it printed.
#pragma once

#include <ctime>
#include <map>
#include <string>

namespace kadrel::testing {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// `arguments` is shell text after the program's name; `input` goes to its
// standard input. The standard output goes to `outputPath` when one is given
// (such as /dev/full), and `out` is then left empty. `wrapper` is shell text
// the program runs under, such as another account's.
ProgramRun runKadrel(const std::string& arguments, const std::string& input = "", const char* outputPath = nullptr,
                     const std::string& wrapper = "");

// Every time written as 2026-12-08T09:30:00Z, as "TIME".
std::string maskTimes(std::string text);

// A time as the tools write and take it: 2026-12-08T09:30:00Z.
std::string timeText(std::time_t seconds);

// Each account's credits as `kadrel bank export --csv` shows them.
using Balances = std::map<std::string, int64_t>;
Balances exportedBalances();

}  // namespace kadrel::testing
