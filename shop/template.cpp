#include "shop/template.h"

#include <algorithm>
#include <vector>

#include "core/text.h"
#include "host/chat_line.h"
#include "host/player_fields.h"

namespace kadrel {

namespace {

constexpr uint16_t privateFreqStart = 100;

struct Placeholder {
    const char* text;
    CharString value;
    bool playerChose;  // a '*' of it must not open the line
};

CharString freq1(uint16_t team) {
    return team < privateFreqStart ? CharString(static_cast<int32_t>(team)) : CharString("(Private freq)");
}

struct Claim {
    uint32_t start;
    uint32_t end;
    const Placeholder* placeholder;
};

bool overlapsAny(const std::vector<Claim>& claims, uint32_t start, uint32_t end) {
    for (const Claim& claim : claims) {
        if (start < claim.end && claim.start < end) return true;
    }
    return false;
}

}  // namespace

CharString substituteTemplate(const char* pattern, const HostPlayer& buyer, const CharString& param) {
    const Placeholder placeholders[] = {
        {"%name%", playerName(buyer), true},
        {"%points%", formatNumber(static_cast<uint32_t>(playerPoints(buyer)), 10, 0, false), false},
        {"%squad%", playerSquad(buyer), true},
        {"%freq1%", freq1(buyer.team), false},
        {"%freq2%", CharString(static_cast<int32_t>(buyer.team)), false},
        {"%param%", param, true},
    };
    // Each placeholder in turn claims its occurrences, left to right, where
    // no earlier one has claimed them: the same occurrences that replacing
    // them one after the other would find, as long as no value is searched.
    const uint32_t length = textLength(pattern);
    std::vector<Claim> claims;
    for (const Placeholder& placeholder : placeholders) {
        const uint32_t width = textLength(placeholder.text);
        uint32_t from = 0;
        for (int32_t found; from < length && (found = findText(pattern + from, placeholder.text)) >= 0;) {
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
        if (claim.placeholder->playerChose) {
            appendPlayerText(line, claim.placeholder->value);
        } else {
            line.append(claim.placeholder->value);
        }
        at = claim.end;
    }
    line.append(pattern + at, length - at);
    return line;
}

}  // namespace kadrel
