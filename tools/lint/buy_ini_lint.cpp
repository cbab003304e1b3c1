// buy.ini: sections Item0 to Item255, each one shop item.
#include <algorithm>
#include <optional>

#include "core/text.h"
#include "shop/catalogue_rules.h"
#include "shop/template.h"
#include "tools/lint/ini_files.h"
#include "tools/lint/lint.h"

namespace kadrel::tools {

namespace {

using namespace catalogue;

constexpr int highestItem = sectionCount - 1;
constexpr size_t longestValue = valueBufferSize - 1;

std::string numberedKey(const ItemKey& key, int slot) { return key.name + std::to_string(slot); }

// Every key an item section can hold, each numbered one slot by slot; or
// only the integer ones.
std::vector<std::string> keysOf(bool integersOnly) {
    std::vector<std::string> keys;
    for (const ItemKey& key : itemKeys) {
        if (integersOnly && !key.integer) continue;
        if (!key.numbered) keys.emplace_back(key.name);
        for (int slot = 0; key.numbered && slot < actionSlots; ++slot) keys.push_back(numberedKey(key, slot));
    }
    return keys;
}

// "Name, Description, ..., PrivAction0-9, ... and SpecialPoints".
std::string keyList() {
    std::string list;
    for (const ItemKey& key : itemKeys) {
        if (!list.empty()) list += &key == std::end(itemKeys) - 1 ? " and " : ", ";
        list += key.name;
        if (key.numbered) list += "0-" + std::to_string(actionSlots - 1);
    }
    return list;
}

// "0-18, 20, 21, 24 and 25": the runs of known codes.
std::string specialActionCodeList() {
    std::vector<std::string> runs;
    for (int32_t code = 0; code < specialActionCodes; ++code) {
        if (!knownSpecialAction(code)) continue;
        int32_t last = code;
        while (last + 1 < specialActionCodes && knownSpecialAction(last + 1)) ++last;
        if (last > code + 1) {
            runs.push_back(std::to_string(code) + "-" + std::to_string(last));
            code = last;
        } else {
            runs.push_back(std::to_string(code));
        }
    }
    std::string list;
    for (size_t index = 0; index < runs.size(); ++index) {
        list += (index == 0 ? "" : index + 1 == runs.size() ? " and " : ", ") + runs[index];
    }
    return list;
}

std::string placeholderList() {
    std::string list;
    for (const Placeholder& placeholder : placeholders) {
        if (!list.empty()) list += ' ';
        list += placeholder.text;
    }
    return list;
}

// The item number of a section the plug-in reads: the loader asks for each
// section by the name it builds from the number. Why another section is
// never read, in `why`.
std::optional<int> itemNumber(const std::string& section, std::string& why) {
    for (int number = 0; number <= highestItem; ++number) {
        if (sameName(section, sectionName(number).text())) return number;
    }
    const size_t stemLength = std::string(sectionStem).size();
    const std::string digits = section.size() > stemLength ? section.substr(stemLength) : "";
    if (!sameName(section.substr(0, stemLength), sectionStem) || digits.empty() ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        why = "the plug-in reads only the sections " + std::string(sectionStem) + "0 to " + sectionStem +
              std::to_string(highestItem);
        return std::nullopt;
    }
    const size_t significant = digits.find_first_not_of('0');
    const std::string number = significant == std::string::npos ? "0" : digits.substr(significant);
    if (number.size() > 3 || std::stoi(number) > highestItem) {
        why = "item numbers run from 0 to " + std::to_string(highestItem);
    } else {
        why = "item numbers are written without leading zeros (" + std::string(sectionStem) + number + ")";
    }
    return std::nullopt;
}

// What the plug-in tells the host when it drops an item.
std::string invalidEntry(int number) { return invalidEntryMessage(number).text(); }

struct ItemCheck {
    const IniFile& file;
    const LoadReport& report;
    Findings& findings;
    // The loaded item of each section number, in catalogue order.
    std::vector<std::pair<int, const ShopItem*>> loaded;

    // The numbers of an item the loader refused. It names the key that stopped
    // it; the keys it read before were numbers. The keys after it were never
    // read, and each that is no number by the loader's rule is named too, so
    // that one run shows every value to mend.
    void refusedNumbers(const std::string& itemSection, const std::string& name, int number,
                        const CharString& refusedKey) const {
        const std::string drops = "the plug-in says \"" + invalidEntry(number) + "\" and drops the item";
        bool reached = false;
        for (const std::string& key : keysOf(true)) {
            const bool refused = key == refusedKey.text();
            reached = reached || refused;
            if (!reached) continue;
            const std::string value = file.value(itemSection, key);
            int32_t ignored = 0;
            if (!refused && readInteger(value.c_str(), ignored)) continue;
            const std::string why = isNumeric(value.c_str())
                                        ? value + " does not fit 32 bits"
                                        : "\"" + value + "\" is not a whole number (an optional - and digits only)";
            findings.error(file.name, name, key, why + ": " + drops);
        }
        // Should the loader ever refuse an item for no key, it still says so.
        if (!reached) findings.error(file.name, name, "", drops);
    }

    void unreadKeys(const platform::ProfileSection& section, bool isItem) const {
        static const std::vector<std::string> known = keysOf(false);
        FirstKeys firstKeys;
        for (const platform::ProfileEntry& entry : section.entries) {
            if (!firstKeys.answered(file, section, entry, findings)) continue;
            if (!isItem) continue;
            if (std::any_of(known.begin(), known.end(), [&](const std::string& key) { return sameName(key, entry.key); })) {
                continue;
            }
            const std::string suggestion = didYouMean(entry.key, known);
            const std::string message = "the plug-in never reads this key" +
                                        (suggestion.empty() ? " (it reads " + keyList() + ")" : suggestion);
            findings.warning(file.name, section.name, entry.key, message);
        }
    }

    void item(const platform::ProfileSection& section, int number) const {
        const std::string& name = section.name;
        const std::string itemSection = sectionName(number).text();
        const std::string nameValue = file.fullValue(itemSection, key::name.name);
        const SectionLoad& load = report.sections[number];
        if (load.outcome == SectionLoad::Outcome::NoName) {
            findings.warning(file.name, name, "", "no Name, so the plug-in skips this section");
            return;
        }
        for (const platform::ProfileEntry& entry : section.entries) {
            if (file.fullValue(itemSection, entry.key).size() > longestValue) {
                findings.warning(file.name, name, entry.key,
                                 "the value is cut to its first " + std::to_string(longestValue) + " characters");
            }
        }
        const std::string called = itemName(file.value(itemSection, key::name.name).c_str()).text();
        if (called != nameValue) {
            findings.warning(file.name, name, key::name.name,
                             "the item is called \"" + called +
                                 "\": the plug-in keeps the first " + std::to_string(nameWidth) +
                                 " characters and, of those, the first word");
        }

        if (load.outcome == SectionLoad::Outcome::Refused) refusedNumbers(itemSection, name, number, load.refusedKey);

        for (const ItemKey* actions : {&key::privAction, &key::pubAction}) {
            for (int slot = 0; slot < actionSlots; ++slot) {
                const std::string key = numberedKey(*actions, slot);
                const std::string line = file.value(itemSection, key);
                for (const Placeholder& placeholder : placeholders) {
                    if (!placeholder.playerChose || line.rfind(placeholder.text, 0) != 0) continue;
                    findings.warning(file.name, name, key,
                                     std::string("the line begins with ") + placeholder.text +
                                         ", text the buyer chose: the plug-in drops the '*' characters it begins "
                                         "with, so that a buyer cannot make the bot send a server command");
                }
                for (const std::string& unknown : unknownPlaceholders(line)) {
                    findings.warning(file.name, name, key,
                                     "unknown placeholder " + unknown + ", sent as written (the plug-in replaces " +
                                         placeholderList() + ", in lower case)");
                }
            }
        }
        const std::string description = file.value(itemSection, key::description.name);
        if (std::any_of(std::begin(placeholders), std::end(placeholders),
                        [&](const Placeholder& placeholder) { return description.find(placeholder.text) != std::string::npos; })) {
            findings.warning(file.name, name, key::description.name,
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
                findings.warning(file.name, name, numberedKey(key::specialAction, slot),
                                 "no special action has the code " + std::to_string(code) +
                                     ": buying the item answers \"The specified item has invalid data\" (codes are " +
                                     specialActionCodeList() + ")");
            }
        }
        for (auto earlier = loaded.begin(); earlier != here; ++earlier) {
            if (earlier->second->name.equalsNoCase(item.name)) {
                findings.warning(file.name, name, key::name.name,
                                 "never bought: [" + std::string(sectionStem) + std::to_string(earlier->first) + "] is also called \"" +
                                     earlier->second->name.text() + "\" and !buy finds it first");
                break;
            }
        }
    }
};

}  // namespace

void lintBuyIni(const BotInstance& bot, const LoadReport& report, Findings& findings) {
    const IniFile file(fileName, valueBufferSize);
    if (!file.text) {
        findings.warning(file.name, "", "", "cannot be read: the shop has nothing to buy");
        return;
    }
    reportIgnoredLines(file, findings);
    ItemCheck check{file, report, findings, {}};

    // The loader appends the sections it takes in the order of their numbers.
    auto next = bot.shopItems.begin();
    for (int number = 0; number <= highestItem && next != bot.shopItems.end(); ++number) {
        if (report.sections[number].outcome != SectionLoad::Outcome::Taken) continue;
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
