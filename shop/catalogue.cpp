// The item catalogue, read from buy.ini at every accepted init: sections Item0
// to Item255, one key at a time through the platform's profile reader.
#include <memory>

#include "core/text.h"
#include "host/bot_instance.h"
#include "platform/platform.h"

namespace kadrel {

namespace {

constexpr int32_t sectionCount = 256;
constexpr uint32_t valueBufferSize = 192;
constexpr uint32_t nameWidth = 20;

class ItemSection {
public:
    ItemSection(const CharString& path, int32_t number) : path(path), section("Item") {
        section.appendNumber(number);
    }

    CharString text(const char* key) const { return platform::readProfileString(path, section.text(), key, valueBufferSize); }

    CharString numberedText(const char* key, int index) const {
        CharString numbered(key);
        numbered.appendNumber(index);
        return text(numbered.text());
    }

    // An empty value is 0; anything but a decimal that fits 32 bits is
    // refused, so an oversized number never wraps into a different price.
    static bool integer(const CharString& value, int32_t& result) {
        if (value.empty()) {
            result = 0;
            return true;
        }
        if (!isNumericInRange(value.text())) return false;
        result = parseInteger(value.text(), 10);
        return true;
    }

private:
    const CharString& path;
    CharString section;
};

// The text before the first blank of the first 20 characters.
CharString firstWord(const CharString& kept) {
    const int32_t blank = findText(kept.text(), " ");
    return (blank < 0 ? kept : kept.left(static_cast<uint32_t>(blank))).trim();
}

// The item of one section, or none when the section has no name or holds an
// invalid number (`invalid` then says so).
std::unique_ptr<ShopItem> readItem(const ItemSection& section, bool& invalid) {
    invalid = false;
    const CharString kept = section.text("Name").left(nameWidth);
    if (kept.empty()) return nullptr;
    auto item = std::make_unique<ShopItem>();
    item->name = firstWord(kept);
    item->description = section.text("Description");
    invalid = true;
    if (!ItemSection::integer(section.text("Value"), item->value)) return nullptr;
    for (int index = 0; index < actionSlots; ++index) item->privActions[index] = section.numberedText("PrivAction", index);
    for (int index = 0; index < actionSlots; ++index) item->pubActions[index] = section.numberedText("PubAction", index);
    for (int index = 0; index < actionSlots; ++index) {
        if (!ItemSection::integer(section.numberedText("SpecialAction", index), item->specialActions[index])) {
            return nullptr;
        }
    }
    if (!ItemSection::integer(section.text("SpecialPoints"), item->specialPoints)) return nullptr;
    invalid = false;
    return item;
}

}  // namespace

void BotInstance::loadShopItems() {
    clearShopItems();
    const CharString path = platform::configFilePath("buy.ini");
    for (int32_t number = 0; number < sectionCount; ++number) {
        bool invalid = false;
        std::unique_ptr<ShopItem> item = readItem(ItemSection(path, number), invalid);
        if (item != nullptr) {
            shopItems.append(item.release());
        } else if (invalid) {
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
