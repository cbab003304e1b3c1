// The item catalogue, read from buy.ini at every accepted init: sections Item0
// to Item255, one key at a time through the platform's profile reader.
#include <cstdio>
#include <memory>

#include "core/text.h"
#include "host/bot_instance.h"
#include "platform/platform.h"
#include "shop/catalogue_rules.h"

namespace kadrel {

namespace {

using namespace catalogue;

// One section of buy.ini, read key by key. Section and key names are built in
// place: a load asks for thousands of them.
class ItemSection {
public:
    ItemSection(const platform::ProfileFile& file, int32_t number) : file(file) {
        std::snprintf(section, sizeof section, "%s%d", sectionStem, static_cast<int>(number));
    }

    CharString text(const ItemKey& key) const { return file.read(section, key.name, valueBufferSize); }

    CharString numberedText(const ItemKey& key, int index) const {
        char numbered[32];
        std::snprintf(numbered, sizeof numbered, "%s%d", key.name, index);
        return file.read(section, numbered, valueBufferSize);
    }

private:
    const platform::ProfileFile& file;
    char section[16];
};

// Fills `item` from its section, whose name was read first, in the order the
// keys are read; an invalid number stops the reading. The key that stopped
// it goes to `refused`.
bool readItem(const ItemSection& section, const CharString& nameValue, ShopItem& item, CharString& refused) {
    item.name = itemName(nameValue);
    item.description = section.text(key::description);
    if (!readInteger(section.text(key::value), item.value)) {
        refused = key::value.name;
        return false;
    }
    for (int index = 0; index < actionSlots; ++index) item.privActions[index] = section.numberedText(key::privAction, index);
    for (int index = 0; index < actionSlots; ++index) item.pubActions[index] = section.numberedText(key::pubAction, index);
    for (int index = 0; index < actionSlots; ++index) {
        if (!readInteger(section.numberedText(key::specialAction, index), item.specialActions[index])) {
            refused = key::specialAction.name;
            refused.appendNumber(index);
            return false;
        }
    }
    if (readInteger(section.text(key::specialPoints), item.specialPoints)) return true;
    refused = key::specialPoints.name;
    return false;
}

}  // namespace

namespace catalogue {

CharString sectionName(int32_t number) {
    CharString name(sectionStem);
    name.appendNumber(number);
    return name;
}

// The text before the first blank of the kept characters.
CharString itemName(const CharString& nameValue) {
    const CharString kept = nameValue.left(nameWidth);
    const int32_t blank = findText(kept.text(), " ");
    return (blank < 0 ? kept : kept.left(static_cast<uint32_t>(blank))).trim();
}

bool readInteger(const CharString& value, int32_t& result) {
    if (value.empty()) {
        result = 0;
        return true;
    }
    if (!isNumericInRange(value.text())) return false;
    result = parseInteger(value.text(), 10);
    return true;
}

CharString invalidEntryMessage(int32_t number) {
    CharString message("Invalid ");
    message.append(fileName);
    message.append(" entry: ");
    message.appendNumber(number);
    return message;
}

}  // namespace catalogue

void BotInstance::loadShopItems(catalogue::LoadReport* report) {
    clearShopItems();
    const platform::ProfileFile file(catalogue::fileName);
    for (int32_t number = 0; number < sectionCount; ++number) {
        const ItemSection section(file, number);
        // A section without a name is no item: most of the 256 are absent.
        const CharString nameValue = section.text(key::name);
        if (nameValue.empty()) continue;
        auto item = std::make_unique<ShopItem>();
        item->number = number;
        CharString refused;
        const bool taken = readItem(section, nameValue, *item, refused);
        if (report != nullptr) {
            report->sections[number].outcome = taken ? SectionLoad::Outcome::Taken : SectionLoad::Outcome::Refused;
            report->sections[number].refusedKey = refused;
        }
        if (taken) {
            shopItems.append(item.release());
        } else {
            echo(catalogue::invalidEntryMessage(number).text());
        }
    }
}

void BotInstance::clearShopItems() { shopItems.clear(); }

const ShopItem* BotInstance::findShopItem(const char* word) const {
    for (const ShopItem& item : shopItems) {
        if (item.name.equalsNoCase(word)) return &item;
    }
    return nullptr;
}

}  // namespace kadrel
