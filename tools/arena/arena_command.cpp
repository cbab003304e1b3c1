// kadrel arena: runs a script of arena steps against the built plug-in, or
// reads the steps from the keyboard.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tools/arena/arena.h"
#include "tools/arena/script.h"
#include "tools/commands.h"

namespace kadrel::tools {

namespace {

struct ArenaOptions {
    std::string script;
    std::string library;
};

struct ScriptLine {
    size_t number;
    std::string text;
    Action action;
};

// Checks every line before the first one runs, so that a typo at the end
// does not leave a half-played arena and a changed bank file behind.
std::optional<std::vector<ScriptLine>> readScript(std::istream& in, const std::string& name) {
    std::vector<ScriptLine> lines;
    bool valid = true;
    std::string text;
    for (size_t number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        try {
            lines.push_back({number, text, parseLine(text)});
        } catch (const ScriptError& error) {
            std::cerr << name << ':' << number << ": " << error.what() << "\n    " << text << '\n';
            valid = false;
        }
    }
    if (!valid) return std::nullopt;
    return lines;
}

int runScript(const ArenaOptions& options) {
    InputText script(options.script, "kadrel arena");
    if (!script.readable()) return 1;
    const auto lines = readScript(script.text(), options.script);
    if (!lines) return 1;
    Arena arena(options.library, std::cout);
    for (const ScriptLine& line : *lines) {
        // The transcript shows each step before what the plug-in said to it.
        std::cout << (line.action ? "> " : "") << line.text << '\n';
        if (!line.action) continue;
        try {
            line.action(arena);
        } catch (const ScriptError& error) {
            std::cout.flush();
            std::cerr << options.script << ':' << line.number << ": " << error.what() << "\n    " << line.text << '\n';
            return 1;
        }
    }
    return 0;
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
