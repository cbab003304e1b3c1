// kadrel report: the economy of a bank's folder as one page of charts and
// tables that opens from a file, for operators tuning credits.ini and buy.ini.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "tools/bank/bank_history.h"
#include "tools/commands.h"
#include "tools/report/economy_data.h"
#include "tools/report/economy_page.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

struct ReportOptions {
    std::string directory = ".";
    std::string from;
    std::string to;
    std::string output;
};

// A day (2026-12-08) or a time (2026-12-08T09:30:00Z), in UTC; a day given
// as the end of the range counts whole.
std::optional<int64_t> boundOf(const std::string& text, bool end) {
    if (text.size() == 10) {
        const std::optional<int64_t> day = parseIsoTime(text + "T00:00:00Z");
        return day ? std::optional<int64_t>(*day + (end ? 86400 : 0)) : std::nullopt;
    }
    return parseIsoTime(text);
}

int report(const ReportOptions& options) {
    ReportRange range;
    for (const auto& [text, bound, end] :
         {std::tuple{&options.from, &range.from, false}, std::tuple{&options.to, &range.to, true}}) {
        if (text->empty()) continue;
        const std::optional<int64_t> time = boundOf(*text, end);
        if (!time) {
            std::cerr << "kadrel report: a date is written as 2026-12-08 or 2026-12-08T09:30:00Z (UTC), not " << *text
                      << '\n';
            return 1;
        }
        *bound = *time;
    }
    const std::string output = options.output.empty() ? options.directory + "/economy.html" : options.output;
    const std::filesystem::path target = std::filesystem::absolute(output);
    nlohmann::ordered_json data;
    {
        const WorkingDirectory inDirectory(options.directory);
        data = economyData(range, options.from, options.to);
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
    return 0;
}

}  // namespace

void addReportCommand(CLI::App& program, int& status) {
    auto options = std::make_shared<ReportOptions>();
    CLI::App* command = program.add_subcommand(
        "report",
        "Writes the economy of a bank's folder as one web page that opens from the file with no network: credits "
        "held over time, created and destroyed by cause, the shop, the players, what operators did and the bank's "
        "health. Reads without a lock, so it is safe while bots run");
    command->add_option("directory", options->directory, "The folder of Quorlen.bank and its history")
        ->capture_default_str();
    command->add_option("--from", options->from, "Changes from this day or time on (UTC), as 2026-12-08");
    command->add_option("--to", options->to, "Changes before this time, or up to the end of this day (UTC)");
    command->add_option("-o,--output", options->output, "The page to write; economy.html in the folder by default");
    command->callback([options, &status] { status = report(*options); });
}

}  // namespace kadrel::tools
