#include "tools/command_line.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "accounts/journal_format.h"
#include "tools/closest_word.h"

namespace kadrel::tools {

namespace {

const char* const exitStatuses =
    "Exit status: 0 when the command did what was asked; 1 when it refused or failed (an error lint found, a "
    "file that is missing or damaged, a change that could not be recorded); 2 when the command line is wrong (an "
    "unknown command or option, a missing or extra argument). 'kadrel help COMMAND' shows a command's options.";

// The words after "kadrel" that name a command: "", " bank", " bank get".
std::string commandPath(const CLI::App& app) {
    const CLI::App* parent = app.get_parent();
    return parent == nullptr ? "" : commandPath(*parent) + " " + app.get_name();
}

std::vector<std::string> commandNames(CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        names.push_back(command->get_name());
    }
    return names;
}

std::vector<std::string> optionNames(CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

// The command the parse went deepest into.
CLI::App& chosen(CLI::App& app) {
    const std::vector<CLI::App*> commands = app.get_subcommands();
    return commands.empty() ? app : chosen(*commands.front());
}

int usage(const CLI::App& app, const std::string& message) {
    std::cerr << "kadrel" << commandPath(app) << ": " << message << "\nSee 'kadrel help" << commandPath(app) << "'.\n";
    return exitUsage;
}

// A word the command did not expect: an option, a command or an argument.
int unexpected(CLI::App& app, const std::string& word) {
    if (word.size() > 1 && word.front() == '-') {
        return usage(app, "unknown option " + word + didYouMean(word, optionNames(app)));
    }
    if (!commandNames(app).empty()) {
        return usage(app, "unknown command " + word + didYouMean(word, commandNames(app)));
    }
    return usage(app, "unexpected argument " + word);
}

// A command that takes commands of its own was given none. A word it took as
// its argument may have been meant as one (`bank lst`).
int commandMissing(CLI::App& app) {
    for (const CLI::Option* option : app.get_options()) {
        if (!option->get_positional()) continue;
        for (const std::string& word : option->results()) {
            std::error_code error;
            const std::string closest = closestWord(word, commandNames(app));
            if (!closest.empty() && !std::filesystem::exists(word, error)) {
                return usage(app, "unknown command " + word + "; did you mean " + closest + "?");
            }
        }
    }
    std::string names;
    for (const std::string& name : commandNames(app)) names += (names.empty() ? "" : ", ") + name;
    return usage(app, "a command is required: " + names);
}

}  // namespace

void addConventions(CLI::App& program, int& status) {
    program.footer(exitStatuses);
    program.set_version_flag("--version", std::string("kadrel ") + KADREL_VERSION + ", writing journal format " +
                                              journalMagic[sizeof journalMagic - 1]);
    auto words = std::make_shared<std::vector<std::string>>();
    CLI::App* help = program.add_subcommand("help", "Shows the options of the program, or of a command");
    help->add_option("command", *words, "A command, and a command of it (kadrel help bank history)");
    help->callback([&program, words, &status] {
        CLI::App* app = &program;
        for (const std::string& word : *words) {
            CLI::App* next = nullptr;
            for (CLI::App* command : app->get_subcommands([](CLI::App*) { return true; })) {
                if (command->get_name() == word) next = command;
            }
            if (next == nullptr) {
                status = unexpected(*app, word);
                return;
            }
            app = next;
        }
        const CLI::App* parent = app->get_parent();
        std::cout << (parent == nullptr ? app->help() : app->help("kadrel" + commandPath(*parent)));
        status = exitSuccess;
    });
}

int runCommandLine(CLI::App& program, int argc, char** argv, int& status) {
    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp& error) {
        return program.exit(error);
    } catch (const CLI::CallForVersion& error) {
        return program.exit(error);
    } catch (const CLI::ExtrasError& error) {
        CLI::App& app = chosen(program);
        const std::vector<std::string> left = app.remaining();
        return left.empty() ? usage(app, error.what()) : unexpected(app, left.front());
    } catch (const CLI::ParseError& error) {
        return usage(chosen(program), error.what());
    }
    CLI::App& app = chosen(program);
    if (!commandNames(app).empty()) return commandMissing(app);
    return status;
}

}  // namespace kadrel::tools
