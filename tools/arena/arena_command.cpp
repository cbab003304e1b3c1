// kadrel arena: runs a script of arena steps against the built plug-in, or
// reads the steps from the keyboard.
#include <iostream>
#include <string>

#include "tools/arena/arena.h"
#include "tools/arena/script.h"
#include "tools/commands.h"

namespace kadrel::tools {

namespace {

struct ArenaOptions {
    std::string script;
    std::string library;
};

int runScript(const ArenaOptions& options) {
    InputText script(options.script, "kadrel arena");
    if (!script.readable()) return 1;
    const auto lines = readScript(script.text(), options.script, std::cerr);
    if (!lines) return 1;
    Arena arena(options.library, std::cout);
    return playScript(*lines, arena, options.script, std::cerr) ? 0 : 1;
}

int runInteractive(const ArenaOptions& options) {
    Arena arena(options.library, std::cout);
    const bool prompt = inputIsKeyboard();
    if (prompt) {
        std::cout << "A stand-in arena around the plug-in " << options.library
                  << ". Type init to connect it, help for the steps, quit to leave.\n";
    }
    std::string text;
    while ((prompt && std::cout << "arena> " << std::flush), std::getline(std::cin, text)) {
        if (text == "quit" || text == "exit") break;
        try {
            if (const Action action = parseLine(text)) action(arena);
        } catch (const ScriptError& error) {
            std::cerr << "error: " << error.what() << '\n';
        }
    }
    return 0;
}

}  // namespace

void addArenaCommand(CLI::App& program, int& status) {
    auto options = std::make_shared<ArenaOptions>();
    options->library = libraryBesideProgram();
    CLI::App* command = program.add_subcommand(
        "arena",
        "Plays an arena against the plug-in in the current directory, with its credits.ini, buy.ini and "
        "Quorlen.bank. Without SCRIPT the steps are read from the keyboard; with one, its lines run in order "
        "and a malformed line stops the run with a non-zero status. 'help' inside the arena lists the steps.");
    command->add_option("script", options->script, "File of arena steps, one a line ('-' reads them from stdin)");
    command->add_option("--library", options->library, "The plug-in to load")->capture_default_str();
    command->callback([options, &status] {
        try {
            status = options->script.empty() ? runInteractive(*options) : runScript(*options);
        } catch (const std::exception& error) {
            std::cerr << "kadrel arena: " << error.what() << '\n';
            status = 1;
        }
    });
}

}  // namespace kadrel::tools
