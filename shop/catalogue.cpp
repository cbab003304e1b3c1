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

// One section of buy.ini, read key by key.
class ItemSection {
public:
    ItemSection(const CharString& path, int32_t number) : path(path), section("Item") { section.appendNumber(number); }

    CharString text(const char* key) const {
        return platform::readProfileString(path, section.text(), key, valueBufferSize);
    }

    CharString numberedText(const char* key, int index) const {
        CharString numbered(key);
        numbered.appendNumber(index);
        return text(numbered.text());
    }

private:
    const CharString& path;
    CharString section;
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

enum class Entry { Missing, Valid, Invalid };

// Fills `item` from its section, in the order the keys are read; an invalid
// number stops the reading.
Entry readItem(const ItemSection& section, ShopItem& item) {
    const CharString kept = section.text("Name").left(nameWidth);
    if (kept.empty()) return Entry::Missing;
    item.name = firstWord(kept);
    item.description = section.text("Description");
    if (!readInteger(section.text("Value"), item.value)) return Entry::Invalid;
    for (int index = 0; index < actionSlots; ++index)
        item.privActions[index] = section.numberedText("PrivAction", index);
    for (int index = 0; index < actionSlots; ++index) item.pubActions[index] = section.numberedText("PubAction", index);
    for (int index = 0; index < actionSlots; ++index) {
        if (!readInteger(section.numberedText("SpecialAction", index), item.specialActions[index]))
            return Entry::Invalid;
    }
    if (!readInteger(section.text("SpecialPoints"), item.specialPoints)) return Entry::Invalid;
    return Entry::Valid;
}

}  // namespace

void BotInstance::loadShopItems() {
    clearShopItems();
    const CharString path = platform::configFilePath("buy.ini");
    for (int32_t number = 0; number < sectionCount; ++number) {
        auto item = std::make_unique<ShopItem>();
        switch (readItem(ItemSection(path, number), *item)) {
            case Entry::Missing: break;
            case Entry::Valid: shopItems.append(item.release()); break;
            case Entry::Invalid: {
                CharString message("Invalid buy.ini entry: ");
                message.appendNumber(number);
                echo(message.text());
                break;
            }
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
