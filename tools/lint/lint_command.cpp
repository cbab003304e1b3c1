// kadrel lint: runs the plug-in's own loaders on a directory's buy.ini and
// credits.ini, and reports what they reject and what is probably a mistake.
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>

#include "host/bot_instance.h"
#include "shop/catalogue_rules.h"
#include "tools/commands.h"
#include "tools/lint/lint.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

struct LintOptions {
    std::string directory = ".";
    bool show = false;
};

std::vector<std::string>* capturedEchoes = nullptr;

// The amounts as --show lists them, each event's pair side by side, as
// examples/credits.ini explains them; their keys are the loader's.
constexpr int32_t RewardTable::*shownAmounts[] = {
    &RewardTable::kill,           &RewardTable::killed,           &RewardTable::teamKill,
    &RewardTable::teamKilled,     &RewardTable::flagVictoryTeam,  &RewardTable::flagVictoryEnemy,
    &RewardTable::soccerGoalTeam, &RewardTable::soccerGoalEnemy,
};

constexpr const char* amountKey(int32_t RewardTable::*field) {
    for (const AmountKey& amount : amountKeys) {
        if (amount.field == field) return amount.key;
    }
    return nullptr;
}

// Every amount the loader reads is shown, once.
constexpr bool showsEveryAmountOnce() {
    for (const AmountKey& amount : amountKeys) {
        int shown = 0;
        for (const auto field : shownAmounts) shown += field == amount.field ? 1 : 0;
        if (shown != 1) return false;
    }
    return std::size(shownAmounts) == std::size(amountKeys);
}
static_assert(showsEveryAmountOnce());

void KADREL_CALL captureEcho(BotEvent& request) {
    if (capturedEchoes != nullptr && request.code == RequestEcho) {
        capturedEchoes->emplace_back(reinterpret_cast<const char*>(request.p[0]));
    }
}

void showLoaded(const BotInstance& bot) {
    std::cout << "The shop as the plug-in loaded it:\n";
    if (bot.shopItems.count == 0) std::cout << "  nothing to buy\n";
    for (const ShopItem& item : bot.shopItems) {
        std::cout << "  " << item.name.text() << ", " << item.value << " credits";
        int specials = 0;
        for (const int32_t code : item.specialActions) {
            if (code != 0) std::cout << (specials++ == 0 ? ", special actions " : " ") << code;
        }
        if (item.specialPoints != 0) std::cout << ", needs " << item.specialPoints << " points";
        std::cout << '\n';
    }
    const RewardTable& rewards = bot.rewards;
    std::cout << "Rewards: ";
    for (const auto field : shownAmounts) {
        std::cout << (field == shownAmounts[0] ? "" : ", ") << amountKey(field) << ' ' << rewards.*field;
    }
    std::cout << '\n';
    // The prize amount most types share, then the types that differ from it.
    std::map<int32_t, int> counts;
    for (const int32_t amount : rewards.prize) ++counts[amount];
    int32_t common = 0;
    for (const auto& [amount, count] : counts) {
        if (count > counts[common]) common = amount;
    }
    std::cout << "Prizes: " << common << " for every type";
    for (int32_t type = lowestPrizeType; type <= highestPrizeType; ++type) {
        const int32_t amount = rewards.prize[type - lowestPrizeType];
        if (amount != common) std::cout << ", " << amount << " for type " << type;
    }
    std::cout << '\n';
}

int lint(const LintOptions& options) {
    if (!std::filesystem::is_directory(options.directory)) {
        std::cerr << "kadrel lint: " << options.directory << " is not a directory\n";
        return 2;
    }
    const WorkingDirectory here(options.directory);
    // "0 errors" of a folder with nothing to check would pass for a clean one.
    std::error_code error;
    if (!std::filesystem::exists(platform::configFilePath(catalogue::fileName).text(), error) &&
        !std::filesystem::exists(platform::configFilePath(rewardsFile).text(), error)) {
        std::cerr << "kadrel lint: " << options.directory << " holds neither " << catalogue::fileName << " nor "
                  << rewardsFile << "; nothing was checked\n";
        return 1;
    }
    BotInstance bot(1);
    bot.callback = &captureEcho;
    std::vector<std::string> shopEchoes;  // told by the report instead
    std::vector<std::string> rewardEchoes;
    auto shopReport = std::make_unique<catalogue::LoadReport>();
    capturedEchoes = &shopEchoes;
    bot.loadShopItems(shopReport.get());
    capturedEchoes = &rewardEchoes;
    bot.loadRewards();
    capturedEchoes = nullptr;

    Findings findings;
    lintBuyIni(bot, *shopReport, findings);
    lintCreditsIni(bot, rewardEchoes, findings);
    findings.print(std::cout);
    if (options.show) showLoaded(bot);
    std::cout << findings.errors() << (findings.errors() == 1 ? " error, " : " errors, ") << findings.warnings()
              << (findings.warnings() == 1 ? " warning\n" : " warnings\n");
    return findings.errors() == 0 ? 0 : 1;
}

}  // namespace

void addLintCommand(CLI::App& program, int& status) {
    auto options = std::make_shared<LintOptions>();
    CLI::App* command = program.add_subcommand(
        "lint",
        "Reads buy.ini and credits.ini with the plug-in's own loaders and reports, by section and key, what the "
        "plug-in rejects (errors) and what is probably a mistake (warnings). Exits with 1 when there is an error.");
    command->add_option("directory", options->directory, "Where the two files are")->capture_default_str();
    command->add_flag("--show", options->show, "Also show the shop and the rewards as the plug-in loaded them");
    command->callback([options, &status] { status = lint(*options); });
}

}  // namespace kadrel::tools
