#include "platform/profile_parser.h"

#include <utility>

#include "core/text.h"

namespace kadrel::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string foldCase(std::string_view name) {
    std::string lower(name);
    for (char& byte : lower) byte = toLowerAscii(byte);
    return lower;
}

// A value wrapped in a matching pair of quotes is given without them.
std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

ParsedProfile parseProfile(std::string_view text) {
    // Editors that save UTF-8 may put a byte-order mark first; the system's
    // reader skips it, and so must this one, or the first section is lost.
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(byteOrderMark)) text.remove_prefix(byteOrderMark.size());

    ParsedProfile parsed;
    std::vector<ProfileSection>& sections = parsed.sections;
    std::vector<IgnoredLine>& ignored = parsed.ignored;
    ProfileSection* current = nullptr;
    for (size_t number = 1; !text.empty(); ++number) {
        const size_t end = text.find('\n');
        std::string_view line = trimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.rfind(']');
            if (close == std::string_view::npos) {
                ignored.push_back({number, std::string(line), IgnoredLine::Reason::UnclosedSection});
                continue;
            }
            sections.push_back({std::string(trimBlanks(line.substr(1, close - 1))), {}});
            current = &sections.back();
            continue;
        }
        if (current == nullptr) {
            ignored.push_back({number, std::string(line), IgnoredLine::Reason::BeforeAnySection});
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            ignored.push_back({number, std::string(line), IgnoredLine::Reason::NoEquals});
            continue;
        }
        current->entries.push_back({std::string(trimBlanks(line.substr(0, equals))),
                                    std::string(unquote(trimBlanks(line.substr(equals + 1))))});
    }
    return parsed;
}

ProfileText::ProfileText(ParsedProfile parsedProfile) : parsed(std::move(parsedProfile)) {
    for (const ProfileSection& section : parsed.sections) {
        FoldedSection& names = folded.emplace_back(FoldedSection{foldCase(section.name), {}});
        for (const ProfileEntry& entry : section.entries) names.keys.push_back(foldCase(entry.key));
    }
}

const std::string* ProfileText::find(std::string_view section, std::string_view key) const {
    if (!lastSection || lastSection->name != section) {
        const std::string wanted = foldCase(section);
        size_t index = 0;
        while (index < folded.size() && folded[index].name != wanted) ++index;
        lastSection = SectionAsked{std::string(section), index};
    }
    if (lastSection->index == folded.size()) return nullptr;
    const std::string wantedKey = foldCase(key);
    const std::vector<std::string>& keys = folded[lastSection->index].keys;
    for (size_t k = 0; k < keys.size(); ++k) {
        if (keys[k] == wantedKey) return &parsed.sections[lastSection->index].entries[k].value;
    }
    return nullptr;
}

std::string_view ProfileText::read(std::string_view section, std::string_view key, size_t bufferSize) const {
    const std::string* value = find(section, key);
    if (value == nullptr || bufferSize == 0) return {};
    return std::string_view(*value).substr(0, bufferSize - 1);
}

}  // namespace kadrel::platform
