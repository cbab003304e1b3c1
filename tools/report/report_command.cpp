// kadrel report: the economy of a bank's folder as one page of charts and
// tables that opens from a file, for operators tuning credits.ini and buy.ini.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "accounts/bank_format.h"
#include "accounts/history_file.h"
#include "tools/bank_view.h"
#include "tools/commands.h"
#include "tools/report/economy_data.h"
#include "tools/report/economy_page.h"
#include "tools/time_range.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

struct ReportOptions {
    std::string directory = ".";
    TimeRange range;
    std::string output;
};

// Whether `target` is a file the folder's bank, journal and history live in,
// or would be once a bot makes it: a page written there would destroy it.
bool isBankFile(const std::filesystem::path& target, const std::filesystem::path& folder) {
    const auto ownName = [](const std::string& name) {
        return name.starts_with(bank::fileName) || name.starts_with(KADREL_BANK_HISTORY ".");
    };
    std::error_code error;
    const std::filesystem::path written = std::filesystem::weakly_canonical(target, error);
    if (!error && written.parent_path() == std::filesystem::weakly_canonical(folder, error) && !error &&
        ownName(written.filename().string())) {
        return true;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (ownName(entry.path().filename().string()) && std::filesystem::equivalent(target, entry.path(), error)) {
            return true;
        }
    }
    return false;
}

// Why the page cannot be written at `output`, or empty.
std::string outputProblem(const std::string& output, const std::string& folder) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(output, error);
    if (isBankFile(output, folder)) return output + " is one of the bank's files";
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        return output + " is not a regular file";
    }
    return "";
}

int report(const ReportOptions& options) {
    const TimeRange& range = options.range;
    if (range.from >= range.to) {
        std::cerr << "kadrel report: --from " << range.fromText << " is not before --to " << range.toText
                  << ": the range holds no time\n";
        return 1;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(options.directory, error)) {
        std::cerr << "kadrel report: " << options.directory
                  << (std::filesystem::exists(options.directory, error) ? " is not a folder" : ": no such folder")
                  << '\n';
        return 1;
    }
    const std::string output = options.output.empty() ? options.directory + "/economy.html" : options.output;
    if (const std::string problem = outputProblem(output, options.directory); !problem.empty()) {
        std::cerr << "kadrel report: " << problem << "; nothing was written\n";
        return 1;
    }
    const std::filesystem::path target = std::filesystem::absolute(output);
    nlohmann::ordered_json data;
    {
        const WorkingDirectory inDirectory(options.directory);
        data = economyData(range);
    }
    const nlohmann::ordered_json& health = data["health"];
    if (health["state"] == "missing" && health["historyFiles"].empty() && health["setAside"].empty()) {
        std::cerr << "kadrel report: " << options.directory << " holds no " << bank::fileName
                  << ", journal or history: nothing to report, nothing was written\n";
        return 1;
    }
    std::ofstream file(target, std::ios::binary);
    if (file) writeEconomyPage(file, data);
    file.close();
    if (!file) {
        std::cerr << "kadrel report: cannot write " << output << '\n';
        return 1;
    }
    for (const auto& note : data["notes"]) std::cerr << "kadrel report: " << note.get<std::string>() << '\n';
    std::cout << "wrote " << output << ": " << data["changes"]["inRange"] << " changes of " << data["changes"]["all"]
              << ", " << std::filesystem::file_size(target) << " bytes\n";
    return health["state"] == "sound" ? 0 : 1;
}

}  // namespace

void addReportCommand(CLI::App& program, int& status) {
    auto options = std::make_shared<ReportOptions>();
    CLI::App* command = program.add_subcommand(
        "report",
        "Writes the economy of a bank's folder as one web page that opens from the file with no network: credits "
        "held over time, created and destroyed by cause, the shop, the players, what operators did and the bank's "
        "health. Reads without a lock, so it is safe while bots run. Exits 1 when the bank is missing or a file is "
        "damaged, as the page then says at its top");
    command->add_option("directory", options->directory, "The folder of Quorlen.bank and its history")
        ->capture_default_str();
    addTimeRangeOptions(*command, options->range, "Changes from this day or time on (UTC), as 2026-12-08",
                        "Changes before this time, or up to the end of this day (UTC)");
    command
        ->add_option("-o,--output", options->output,
                     "The page to write; economy.html in the folder by default. Never one of the bank's files")
        ->check(CLI::Validator(
            [](const std::string& path) {
                // -o=/x would otherwise write a file named "=/x".
                return path.starts_with("=") ? "write -o " + path.substr(1) + " or --output" + path : std::string();
            },
            "PATH"));
    command->callback([options, &status] { status = report(*options); });
}

}  // namespace kadrel::tools
