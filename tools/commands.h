// The sub-commands of the kadrel program, each registered on the program's
// command line by its own file. A sub-command stores its exit status in
// `status` when it runs.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace kadrel::tools {

void addArenaCommand(CLI::App& program, int& status);
void addBankCommand(CLI::App& program, int& status);
void addLintCommand(CLI::App& program, int& status);

// The plug-in library beside this program, where the build and an
// installation put it.
std::string libraryBesideProgram();

}  // namespace kadrel::tools
