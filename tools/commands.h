// The sub-commands of the kadrel program, each registered on the program's
// command line by its own file. A sub-command stores its exit status in
// `status` when it runs.
#pragma once

#include <fstream>
#include <istream>
#include <string>

#include <CLI/CLI.hpp>

namespace kadrel::tools {

void addArenaCommand(CLI::App& program, int& status);
void addBankCommand(CLI::App& program, int& status);
void addLintCommand(CLI::App& program, int& status);
void addReportCommand(CLI::App& program, int& status);
#ifdef KADREL_SYNC
void addSyncCommand(CLI::App& program, int& status);
#endif

// The plug-in library kadrel plays against: beside this program in a build
// tree, in the installation's folder of plug-ins otherwise.
std::string libraryBesideProgram();

// Whether standard input is a terminal, where the arena prompts for steps.
bool inputIsKeyboard();

// The text a sub-command reads: the named file, or standard input for "-".
// When the file cannot be opened, `program: cannot read NAME` goes to the
// error stream and `readable()` is false.
class InputText {
public:
    InputText(const std::string& name, const char* program);
    bool readable() const { return stream != nullptr; }
    std::istream& text() { return *stream; }

private:
    std::ifstream file;
    std::istream* stream = nullptr;
};

}  // namespace kadrel::tools
