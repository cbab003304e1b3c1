// buy.ini: sections Item0 to Item255, each one shop item.
#include <algorithm>
#include <optional>

#include "core/text.h"
#include "tools/lint/ini_files.h"
#include "tools/lint/lint.h"

namespace kadrel::tools {

namespace {

constexpr int highestItem = 255;
constexpr size_t longestItemName = 20;
constexpr size_t longestValue = 191;

// Codes that name a special action; every other code makes buying the item
// answer "The specified item has invalid data".
bool knownSpecialAction(int32_t code) {
    return (code >= 0 && code <= 18) || code == 20 || code == 21 || code == 24 || code == 25;
}

std::vector<std::string> numbered(const char* stem) {
    std::vector<std::string> keys;
    for (int index = 0; index < actionSlots; ++index) keys.push_back(stem + std::to_string(index));
    return keys;
}

std::vector<std::string> itemKeys() {
    std::vector<std::string> keys{"Name", "Description", "Value"};
    for (const char* stem : {"PrivAction", "PubAction", "SpecialAction"}) {
        for (const std::string& key : numbered(stem)) keys.push_back(key);
    }
    keys.emplace_back("SpecialPoints");
    return keys;
}

std::vector<std::string> integerKeys() {
    std::vector<std::string> keys{"Value"};
    for (const std::string& key : numbered("SpecialAction")) keys.push_back(key);
    keys.emplace_back("SpecialPoints");
    return keys;
}

// The item number of a section the plug-in reads: "Item" and 0 to 255 without
// leading zeros. Why another section is never read, in `why`.
std::optional<int> itemNumber(const std::string& section, std::string& why) {
    const std::string stem = section.substr(0, 4);
    const std::string digits = section.size() > 4 ? section.substr(4) : "";
    if (!sameName(stem, "Item") || digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        why = "the plug-in reads only the sections Item0 to Item255";
        return std::nullopt;
    }
    const size_t significant = digits.find_first_not_of('0');
    const std::string number = significant == std::string::npos ? "0" : digits.substr(significant);
    if (number.size() > 3 || std::stoi(number) > highestItem) {
        why = "item numbers run from 0 to 255";
        return std::nullopt;
    }
    if (number != digits) {
        why = "item numbers are written without leading zeros (Item" + number + ")";
        return std::nullopt;
    }
    return std::stoi(number);
}

// The item name as the loader makes it: the first 20 characters, then the
// text before the first blank.
std::string itemName(const std::string& value) {
    const std::string kept = value.substr(0, longestItemName);
    std::string word = kept.substr(0, kept.find(' '));
    while (!word.empty() && word.back() == ' ') word.pop_back();
    return word;
}

// What the loader stored for one of the integer keys.
int32_t loadedNumber(const ShopItem& item, const std::string& key) {
    if (sameName(key, "Value")) return item.value;
    for (int slot = 0; slot < actionSlots; ++slot) {
        if (sameName(key, "SpecialAction" + std::to_string(slot))) return item.specialActions[slot];
    }
    return item.specialPoints;
}

std::string invalidEntry(int number) { return "Invalid buy.ini entry: " + std::to_string(number); }

struct ItemCheck {
    const IniFile& file;
    const std::vector<std::string>& echoes;
    Findings& findings;
    // The loaded item of each section number, in catalogue order.
    std::vector<std::pair<int, const ShopItem*>> loaded;

    const ShopItem* loadedItem(int number) const {
        for (const auto& [sectionNumber, item] : loaded) {
            if (sectionNumber == number) return item;
        }
        return nullptr;
    }

    void unreadKeys(const platform::ProfileSection& section, bool isItem) const {
        static const std::vector<std::string> known = itemKeys();
        FirstKeys firstKeys;
        for (const platform::ProfileEntry& entry : section.entries) {
            if (!firstKeys.answered(file, section, entry, findings)) continue;
            if (!isItem) continue;
            if (std::any_of(known.begin(), known.end(), [&](const std::string& key) { return sameName(key, entry.key); })) {
                continue;
            }
            std::string message = "the plug-in never reads this key";
            const std::string closest = closestWord(entry.key, known);
            if (!closest.empty()) {
                message += "; did you mean " + closest + "?";
            } else {
                message += " (it reads Name, Description, Value, PrivAction0-9, PubAction0-9, SpecialAction0-9 and "
                           "SpecialPoints)";
            }
            findings.warning(file.name, section.name, entry.key, message);
        }
    }

    void item(const platform::ProfileSection& section, int number) const {
        const std::string& name = section.name;
        const std::string itemSection = "Item" + std::to_string(number);
        const std::string nameValue = file.fullValue(itemSection, "Name");
        if (file.value(itemSection, "Name").empty()) {
            findings.warning(file.name, name, "", "no Name, so the plug-in skips this section");
            return;
        }
        for (const platform::ProfileEntry& entry : section.entries) {
            if (file.fullValue(itemSection, entry.key).size() > longestValue) {
                findings.warning(file.name, name, entry.key, "the value is cut to its first 191 characters");
            }
        }
        const std::string called = itemName(file.value(itemSection, "Name"));
        if (called != nameValue) {
            findings.warning(file.name, name, "Name",
                             "the item is called \"" + called +
                                 "\": the plug-in keeps the first 20 characters and, of those, the first word");
        }

        const bool rejected = std::find(echoes.begin(), echoes.end(), invalidEntry(number)) != echoes.end();
        bool explained = false;
        for (const std::string& key : integerKeys()) {
            const std::string value = file.value(itemSection, key);
            if (value.empty()) continue;
            if (!isNumeric(value.c_str())) {
                std::string message = "\"" + value + "\" is not a whole number (an optional - and digits only)";
                if (rejected) message += ": the plug-in says \"" + invalidEntry(number) + "\" and drops the item";
                findings.error(file.name, name, key, message);
                explained = true;
            } else if (!isNumericInRange(value.c_str())) {
                // The loader may refuse a number beyond 32 bits, or wrap it.
                if (rejected) {
                    findings.error(file.name, name, key,
                                   value + " does not fit 32 bits: the plug-in says \"" + invalidEntry(number) +
                                       "\" and drops the item");
                    explained = true;
                } else {
                    const ShopItem* item = loadedItem(number);
                    findings.warning(file.name, name, key,
                                     value + " does not fit 32 bits" +
                                         (item != nullptr ? ": the plug-in takes " + std::to_string(loadedNumber(*item, key))
                                                          : std::string()));
                }
            }
        }
        if (rejected && !explained) {
            findings.error(file.name, name, "", "the plug-in says \"" + invalidEntry(number) + "\" and drops the item");
        }

        for (const char* stem : {"PrivAction", "PubAction"}) {
            for (const std::string& key : numbered(stem)) {
                const std::string line = file.value(itemSection, key);
                for (const char* chosen : {"%name%", "%squad%", "%param%"}) {
                    if (line.rfind(chosen, 0) != 0) continue;
                    findings.warning(file.name, name, key,
                                     std::string("the line begins with ") + chosen +
                                         ", text the buyer chose: the plug-in drops the '*' characters it begins "
                                         "with, so that a buyer cannot make the bot send a server command");
                }
                for (const std::string& unknown : unknownPlaceholders(line)) {
                    findings.warning(file.name, name, key,
                                     "unknown placeholder " + unknown +
                                         ", sent as written (the plug-in replaces %name% %points% %squad% %freq1% "
                                         "%freq2% %param%, in lower case)");
                }
            }
        }
        const std::string description = file.value(itemSection, "Description");
        if (std::any_of(std::begin(knownPlaceholders), std::end(knownPlaceholders),
                        [&](const char* placeholder) { return description.find(placeholder) != std::string::npos; })) {
            findings.warning(file.name, name, "Description",
                             "the listing shows the description as written: placeholders are replaced only in the "
                             "actions");
        }

        const auto here =
            std::find_if(loaded.begin(), loaded.end(), [number](const auto& entry) { return entry.first == number; });
        if (here == loaded.end()) return;
        const ShopItem& item = *here->second;
        for (int slot = 0; slot < actionSlots; ++slot) {
            const int32_t code = item.specialActions[slot];
            if (!knownSpecialAction(code)) {
                findings.warning(file.name, name, "SpecialAction" + std::to_string(slot),
                                 "no special action has the code " + std::to_string(code) +
                                     ": buying the item answers \"The specified item has invalid data\" (codes are "
                                     "0-18, 20, 21, 24 and 25)");
            }
        }
        for (auto earlier = loaded.begin(); earlier != here; ++earlier) {
            if (earlier->second->name.equalsNoCase(item.name)) {
                findings.warning(file.name, name, "Name",
                                 "never bought: [Item" + std::to_string(earlier->first) + "] is also called \"" +
                                     earlier->second->name.text() + "\" and !buy finds it first");
                break;
            }
        }
    }
};

}  // namespace

void lintBuyIni(const BotInstance& bot, const std::vector<std::string>& echoes, Findings& findings) {
    const IniFile file("buy.ini");
    if (!file.text) {
        findings.warning(file.name, "", "", "cannot be read: the shop has nothing to buy");
        return;
    }
    reportIgnoredLines(file, findings);
    ItemCheck check{file, echoes, findings, {}};

    // Which section each loaded item came from: the loader takes the numbers
    // in order and skips the sections without a Name and those it rejects.
    auto next = bot.shopItems.begin();
    for (int number = 0; number <= highestItem && next != bot.shopItems.end(); ++number) {
        const std::string itemSection = "Item" + std::to_string(number);
        if (file.value(itemSection, "Name").empty()) continue;
        if (std::find(echoes.begin(), echoes.end(), invalidEntry(number)) != echoes.end()) continue;
        check.loaded.emplace_back(number, &*next);
        ++next;
    }

    std::vector<std::string> seenSections;
    for (const platform::ProfileSection& section : file.text->allSections()) {
        const bool repeated = std::any_of(seenSections.begin(), seenSections.end(),
                                          [&](const std::string& seen) { return sameName(seen, section.name); });
        seenSections.push_back(section.name);
        if (repeated) {
            findings.warning(file.name, section.name, "", "never read: an earlier [" + section.name + "] is the one read");
            continue;
        }
        std::string why;
        const std::optional<int> number = itemNumber(section.name, why);
        if (!number) findings.warning(file.name, section.name, "", "never read: " + why);
        check.unreadKeys(section, number.has_value());
        if (number) check.item(section, *number);
    }
}

}  // namespace kadrel::tools
