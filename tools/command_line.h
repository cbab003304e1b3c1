// The conventions of kadrel's command line: `--version`, a `help` command, a
// usage error that names the unknown word with the nearest known one, and
// three exit statuses.
#pragma once

#include <CLI/CLI.hpp>

namespace kadrel::tools {

enum ExitStatus : int {
    exitSuccess = 0,
    exitFailure = 1,  // the command refused or failed
    exitUsage = 2,    // the command line itself is wrong
};

// --version, the help command and the footer that tells the exit statuses;
// after every command is added.
void addConventions(CLI::App& program, int& status);

// Parses the command line and runs the command it names; returns the exit
// status, after telling a usage error on the error stream.
int runCommandLine(CLI::App& program, int argc, char** argv, int& status);

}  // namespace kadrel::tools
