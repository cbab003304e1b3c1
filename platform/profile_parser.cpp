#include "platform/profile_parser.h"

#include "core/text.h"

namespace kadrel::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool sameNameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (toLowerAscii(a[i]) != toLowerAscii(b[i])) return false;
    }
    return true;
}

// A value wrapped in a matching pair of quotes is given without them.
std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

ProfileText::ProfileText(std::string_view text) {
    ProfileSection* current = nullptr;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = trimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const size_t close = line.rfind(']');
            if (close == std::string_view::npos) continue;
            sections.push_back({std::string(trimBlanks(line.substr(1, close - 1))), {}});
            current = &sections.back();
            continue;
        }
        if (current == nullptr) continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        current->entries.push_back({std::string(trimBlanks(line.substr(0, equals))),
                                    std::string(unquote(trimBlanks(line.substr(equals + 1))))});
    }
}

const std::string* ProfileText::find(std::string_view section, std::string_view key) const {
    for (const ProfileSection& candidate : sections) {
        if (!sameNameNoCase(candidate.name, section)) continue;
        for (const ProfileEntry& entry : candidate.entries) {
            if (sameNameNoCase(entry.key, key)) return &entry.value;
        }
        return nullptr;
    }
    return nullptr;
}

}  // namespace kadrel::platform
