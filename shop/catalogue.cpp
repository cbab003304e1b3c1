// The item catalogue, read from buy.ini at every accepted init: sections Item0
// to Item255, one key at a time through the platform's profile reader.
#include <cstdio>
#include <memory>

#include "core/text.h"
#include "host/bot_instance.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

constexpr int32_t sectionCount = 256;
constexpr uint32_t valueBufferSize = 192;
constexpr uint32_t nameWidth = 20;

// One section of buy.ini, read key by key. Section and key names are built in
// place: a load asks for thousands of them.
class ItemSection {
public:
    ItemSection(const platform::ProfileFile& file, int32_t number) : file(file) {
        std::snprintf(section, sizeof section, "Item%d", static_cast<int>(number));
    }

    CharString text(const char* key) const { return file.read(section, key, valueBufferSize); }

    CharString numberedText(const char* key, int index) const {
        char numbered[32];
        std::snprintf(numbered, sizeof numbered, "%s%d", key, index);
        return text(numbered);
    }

private:
    const platform::ProfileFile& file;
    char section[16];
};

// An empty value is 0; anything but a decimal that fits 32 bits is refused,
// so an oversized number never wraps into a different price.
bool readInteger(const CharString& value, int32_t& result) {
    if (value.empty()) {
        result = 0;
        return true;
    }
    if (!isNumericInRange(value.text())) return false;
    result = parseInteger(value.text(), 10);
    return true;
}

// The text before the first blank of the kept characters.
CharString firstWord(const CharString& kept) {
    const int32_t blank = findText(kept.text(), " ");
    return (blank < 0 ? kept : kept.left(static_cast<uint32_t>(blank))).trim();
}

// Fills `item` from its section, whose name was read first, in the order the
// keys are read; an invalid number stops the reading.
bool readItem(const ItemSection& section, const CharString& keptName, ShopItem& item) {
    item.name = firstWord(keptName);
    item.description = section.text("Description");
    if (!readInteger(section.text("Value"), item.value)) return false;
    for (int index = 0; index < actionSlots; ++index)
        item.privActions[index] = section.numberedText("PrivAction", index);
    for (int index = 0; index < actionSlots; ++index) item.pubActions[index] = section.numberedText("PubAction", index);
    for (int index = 0; index < actionSlots; ++index) {
        if (!readInteger(section.numberedText("SpecialAction", index), item.specialActions[index])) return false;
    }
    return readInteger(section.text("SpecialPoints"), item.specialPoints);
}

}  // namespace

void BotInstance::loadShopItems() {
    clearShopItems();
    const platform::ProfileFile file("buy.ini");
    for (int32_t number = 0; number < sectionCount; ++number) {
        const ItemSection section(file, number);
        // A section without a name is no item: most of the 256 are absent.
        const CharString keptName = section.text("Name").left(nameWidth);
        if (keptName.empty()) continue;
        auto item = std::make_unique<ShopItem>();
        if (readItem(section, keptName, *item)) {
            shopItems.append(item.release());
        } else {
            CharString message("Invalid buy.ini entry: ");
            message.appendNumber(number);
            echo(message.text());
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
