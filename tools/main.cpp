// kadrel: the operators' companion to the plug-in. It plays an arena against
// the built plug-in, inspects and edits the bank file, and checks the two INI
// files the way the plug-in reads them.
#include <filesystem>
#include <iostream>

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

std::string libraryBesideProgram() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return (error ? std::filesystem::path("libkadrel.so") : program.parent_path() / "libkadrel.so").string();
}

}  // namespace kadrel::tools

int main(int argc, char** argv) {
    CLI::App program("Companion of the Kadrel plug-in: a stand-in arena, the bank file and the INI files.", "kadrel");
    program.require_subcommand(1);
    int status = 0;
    kadrel::tools::addArenaCommand(program, status);
    kadrel::tools::addBankCommand(program, status);
    kadrel::tools::addLintCommand(program, status);
    try {
        program.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return program.exit(error);
    } catch (const std::exception& error) {
        // A directory that cannot be entered or a read that fails part-way:
        // an answer and a failing status, never an abort.
        std::cerr << "kadrel: " << error.what() << '\n';
        return 1;
    }
    // A listing cut short by a full disk or a closed pipe must not pass for a
    // complete one in a script.
    if (!std::cout.flush()) {
        std::cerr << "kadrel: cannot write the standard output\n";
        return 1;
    }
    return status;
}
