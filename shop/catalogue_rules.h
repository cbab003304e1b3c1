// What buy.ini holds for the shop, stated once: the catalogue's loader reads
// the file by these rules, and kadrel lint checks the file by them.
#pragma once

#include <cstdint>

#include "core/char_string.h"
#include "shop/shop_item.h"

namespace kadrel::catalogue {

constexpr const char* fileName = "buy.ini";

// One item per section ItemN, N from 0 to 255 in decimal without leading
// zeros (the section's name is built from the number and looked up).
constexpr const char* sectionStem = "Item";
constexpr int32_t sectionCount = 256;
CharString sectionName(int32_t number);

// Every value is read into a buffer of this size: at most 191 characters.
constexpr uint32_t valueBufferSize = 192;

struct ItemKey {
    const char* name;
    bool numbered;  // one key per action slot: NAME0 to NAME9
    bool integer;   // read by readInteger
};

// The value of an integer key: empty for 0, else a decimal that fits 32 bits.
// False for anything else, which refuses the item: an oversized number never
// wraps into a different price.
bool readInteger(const CharString& value, int32_t& result);

namespace key {
constexpr ItemKey name{"Name", false, false};
constexpr ItemKey description{"Description", false, false};
constexpr ItemKey value{"Value", false, true};
constexpr ItemKey privAction{"PrivAction", true, false};
constexpr ItemKey pubAction{"PubAction", true, false};
constexpr ItemKey specialAction{"SpecialAction", true, true};
constexpr ItemKey specialPoints{"SpecialPoints", false, true};
}  // namespace key

// Every key of an item, in the order the loader reads them.
constexpr ItemKey itemKeys[] = {key::name,      key::description,   key::value,        key::privAction,
                                key::pubAction, key::specialAction, key::specialPoints};

// The item's name as the shop knows it: the first word of the first 20
// characters of the Name value. A section whose Name is empty is no item.
constexpr uint32_t nameWidth = 20;
CharString itemName(const CharString& nameValue);

// Whether a special action code names an action; buying an item that holds
// any other code answers "The specified item has invalid data". Every code
// from specialActionCodes up is unknown.
constexpr int32_t specialActionCodes = 26;
bool knownSpecialAction(int32_t code);

// The status line of an item whose numbers cannot be read: the load drops it.
CharString invalidEntryMessage(int32_t number);

// What a load made of each section, for those who check the file. The loader
// reads the integer keys in the order of itemKeys and stops at the first
// whose value readInteger refuses: the keys before it were taken, those after
// it never read.
struct SectionLoad {
    enum class Outcome { NoName, Taken, Refused };
    Outcome outcome = Outcome::NoName;
    CharString refusedKey;  // the key whose value was no number, for a refused item
};

struct LoadReport {
    SectionLoad sections[sectionCount];
};

}  // namespace kadrel::catalogue
