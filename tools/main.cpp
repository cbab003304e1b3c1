// kadrel: the operators' companion to the plug-in. It plays an arena against
// the built plug-in, inspects and edits the bank file, checks the two INI
// files the way the plug-in reads them, and draws the economy on a web page.
#include <filesystem>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "tools/command_line.h"
#include "tools/commands.h"

namespace kadrel::tools {

InputText::InputText(const std::string& name, const char* program) {
    if (name == "-") {
        stream = &std::cin;
        return;
    }
    file.open(name, std::ios::binary);
    if (file) {
        stream = &file;
    } else {
        std::cerr << program << ": cannot read " << name << '\n';
    }
}

#ifdef _WIN32
std::string libraryBesideProgram() {
    wchar_t program[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return "kadrel.dll";
    return (std::filesystem::path(program).parent_path() / "kadrel.dll").string();
}

bool inputIsKeyboard() { return _isatty(_fileno(stdin)) != 0; }
#else
// Beside the program in a build tree; an installation keeps the plug-in out
// of the folder of programs.
std::string libraryBesideProgram() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "libkadrel.so";
    const std::filesystem::path beside = program.parent_path() / "libkadrel.so";
    const std::filesystem::path installed = program.parent_path() / KADREL_INSTALLED_PLUGIN;
    return (std::filesystem::exists(beside, error) || !std::filesystem::exists(installed, error) ? beside : installed)
        .lexically_normal()
        .string();
}

bool inputIsKeyboard() { return isatty(STDIN_FILENO) != 0; }
#endif

}  // namespace kadrel::tools

int main(int argc, char** argv) {
    // Listings of a million accounts go out in large writes, not one per field.
    std::ios::sync_with_stdio(false);
#ifdef _WIN32
    // The same bytes on every system: transcripts and exports end their lines
    // in LF, and CR LF input is read as such by every sub-command.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    CLI::App program("Companion of the Kadrel plug-in: a stand-in arena, the bank file, the INI files and the economy's report.", "kadrel");
    // One command at a time; a word after it is that command's.
    program.require_subcommand(0, 1);
    // Paths such as /srv/bot under Wine are file names, not /options.
    program.allow_windows_style_options(false);
    int status = 0;
    kadrel::tools::addArenaCommand(program, status);
    kadrel::tools::addBankCommand(program, status);
    kadrel::tools::addLintCommand(program, status);
    kadrel::tools::addReportCommand(program, status);
#ifdef KADREL_SYNC
    kadrel::tools::addSyncCommand(program, status);
#endif
    kadrel::tools::addConventions(program, status);
    try {
        status = kadrel::tools::runCommandLine(program, argc, argv, status);
    } catch (const std::exception& error) {
        // A directory that cannot be entered or a read that fails part-way:
        // an answer and a failing status, never an abort.
        std::cerr << "kadrel: " << error.what() << '\n';
        return kadrel::tools::exitFailure;
    }
    // A listing cut short by a full disk or a closed pipe must not pass for a
    // complete one in a script.
    if (!std::cout.flush()) {
        std::cerr << "kadrel: cannot write the standard output\n";
        return kadrel::tools::exitFailure;
    }
    return status;
}
