#include "shop/template.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "core/text.h"
#include "host/chat_line.h"
#include "host/player_fields.h"

namespace kadrel {

namespace {

constexpr uint16_t privateFreqStart = 100;

struct Filled {
    const Placeholder& placeholder;
    CharString value;
};

CharString freq1(uint16_t team) {
    return team < privateFreqStart ? CharString(static_cast<int32_t>(team)) : CharString("(Private freq)");
}

struct Claim {
    uint32_t start;
    uint32_t end;
    const Filled* filled;
};

bool overlapsAny(const std::vector<Claim>& claims, uint32_t start, uint32_t end) {
    for (const Claim& claim : claims) {
        if (start < claim.end && claim.start < end) return true;
    }
    return false;
}

}  // namespace

CharString substituteTemplate(const char* pattern, const HostPlayer& buyer, const CharString& param) {
    const Filled filled[] = {
        {placeholders[0], playerName(buyer)},
        {placeholders[1], formatNumber(static_cast<uint32_t>(playerPoints(buyer)), 10, 0, false)},
        {placeholders[2], playerSquad(buyer)},
        {placeholders[3], freq1(buyer.team)},
        {placeholders[4], CharString(static_cast<int32_t>(buyer.team))},
        {placeholders[5], param},
    };
    static_assert(std::size(filled) == std::size(placeholders));
    // Each placeholder in turn claims its occurrences, left to right, where
    // no earlier one has claimed them: the same occurrences that replacing
    // them one after the other would find, as long as no value is searched.
    const uint32_t length = textLength(pattern);
    std::vector<Claim> claims;
    for (const Filled& placeholder : filled) {
        const char* text = placeholder.placeholder.text;
        const uint32_t width = textLength(text);
        uint32_t from = 0;
        for (int32_t found; from < length && (found = findText(pattern + from, text)) >= 0;) {
            const uint32_t start = from + static_cast<uint32_t>(found);
            if (overlapsAny(claims, start, start + width)) {
                from = start + 1;
                continue;
            }
            claims.push_back({start, start + width, &placeholder});
            from = start + width;
        }
    }
    std::sort(claims.begin(), claims.end(), [](const Claim& a, const Claim& b) { return a.start < b.start; });
    CharString line;
    uint32_t at = 0;
    for (const Claim& claim : claims) {
        line.append(pattern + at, claim.start - at);
        if (claim.filled->placeholder.playerChose) {
            appendPlayerText(line, claim.filled->value);
        } else {
            line.append(claim.filled->value);
        }
        at = claim.end;
    }
    line.append(pattern + at, length - at);
    return line;
}

}  // namespace kadrel
