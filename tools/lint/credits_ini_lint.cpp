// credits.ini: section Credits, the rewards for game events.
#include <algorithm>
#include <optional>

#include "core/text.h"
#include "tools/lint/ini_files.h"
#include "tools/lint/lint.h"

namespace kadrel::tools {

namespace {

constexpr const char* rewardSection = rewardsSection;
constexpr size_t longestValue = rewardValueBufferSize - 1;

std::vector<std::string> rewardKeys() {
    std::vector<std::string> keys;
    for (const AmountKey& amount : amountKeys) keys.emplace_back(amount.key);
    keys.emplace_back(anyPrizeKey);
    for (int32_t type = lowestPrizeType; type <= highestPrizeType; ++type) keys.emplace_back(prizeKey(type).text());
    return keys;
}

bool isPrizeKey(const std::string& key) {
    const std::string stem = prizeKeyStem;
    return key.size() > stem.size() && sameName(key.substr(0, stem.size()), stem);
}

std::string unreadKeyMessage(const std::string& key, const std::vector<std::string>& known) {
    std::string message = "the plug-in never reads this key";
    if (isPrizeKey(key)) {
        return message + ": prize keys run from " + prizeKey(lowestPrizeType).text() + " to " +
               prizeKey(highestPrizeType).text() + ", written without leading zeros or a plus";
    }
    std::vector<std::string> candidates = known;
    candidates.emplace_back(canGoNegativeKey);
    return message + didYouMean(key, candidates);
}

// The amount the plug-in's loader made of a key, when the table shows it: the
// AnyPrize amount is seen only in a prize type that pays it instead of its own
// PrizeN.
std::optional<int32_t> loadedAmount(const RewardTable& rewards, const IniFile& file, const std::string& key) {
    for (const AmountKey& amount : amountKeys) {
        if (sameName(key, amount.key)) return rewards.*amount.field;
    }
    for (int32_t type = lowestPrizeType; type <= highestPrizeType; ++type) {
        const int32_t amount = rewards.prize[type - lowestPrizeType];
        const std::string typeKey = prizeKey(type).text();
        if (sameName(key, typeKey)) return amount;
        if (sameName(key, anyPrizeKey) && paysAnyPrize(file.value(rewardSection, typeKey).c_str())) return amount;
    }
    return std::nullopt;
}

}  // namespace

void lintCreditsIni(const BotInstance& bot, const std::vector<std::string>& echoes, Findings& findings) {
    const IniFile file(rewardsFile, rewardValueBufferSize);
    for (const std::string& echo : echoes) findings.error(file.name, "", "", "the plug-in says \"" + echo + "\"");
    if (!file.text) {
        findings.warning(file.name, "", "", "cannot be read: every reward is 0");
        return;
    }
    reportIgnoredLines(file, findings);
    static const std::vector<std::string> known = rewardKeys();
    bool rewardsSeen = false;
    for (const platform::ProfileSection& section : file.text->allSections()) {
        if (!sameName(section.name, rewardSection)) {
            std::string message = std::string("never read: the plug-in reads only the section ") + rewardSection;
            findings.warning(file.name, section.name, "", message);
            continue;
        }
        if (rewardsSeen) {
            findings.warning(file.name, section.name, "", std::string("never read: an earlier [") + rewardSection + "] is the one read");
            continue;
        }
        rewardsSeen = true;
        FirstKeys firstKeys;
        for (const platform::ProfileEntry& entry : section.entries) {
            if (!firstKeys.answered(file, section, entry, findings)) continue;
            if (sameName(entry.key, canGoNegativeKey)) continue;
            if (std::none_of(known.begin(), known.end(), [&](const std::string& key) { return sameName(key, entry.key); })) {
                findings.warning(file.name, section.name, entry.key, unreadKeyMessage(entry.key, known));
                continue;
            }
            if (file.fullValue(rewardSection, entry.key).size() > longestValue) {
                findings.warning(file.name, section.name, entry.key, "the value is cut to its first " + std::to_string(longestValue) + " characters");
            }
            const std::string value = file.value(rewardSection, entry.key);
            if (value.empty()) continue;
            if (isNumericInRange(value.c_str())) continue;
            std::string message = "\"" + value + "\"" +
                                  (isNumeric(value.c_str()) ? " does not fit 32 bits"
                                                            : " is not a whole number (an optional - and digits only)");
            if (const std::optional<int32_t> taken = loadedAmount(bot.rewards, file, entry.key)) {
                message += ": the plug-in takes " + std::to_string(*taken);
            }
            if (isPrizeKey(entry.key)) message += "; leave the value empty to keep the AnyPrize amount";
            findings.warning(file.name, section.name, entry.key, message);
        }
    }
    if (!rewardsSeen) findings.warning(file.name, "", "", std::string("no [") + rewardSection + "] section: every reward is 0");
}

}  // namespace kadrel::tools
