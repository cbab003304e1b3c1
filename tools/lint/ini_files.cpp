#include "tools/lint/ini_files.h"

#include "core/text.h"
#include "platform/platform.h"
#include "shop/template.h"
#include "tools/whole_file.h"

namespace kadrel::tools {

namespace {

constexpr uint32_t wholeValue = 1u << 20;

bool placeholderByte(char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
           byte == '_';
}

}  // namespace

IniFile::IniFile(const char* fileName, uint32_t bufferSize)
    : name(fileName), bufferSize(bufferSize), profile(fileName) {
    if (std::optional<std::string> contents = readWholeFile(platform::configFilePath(fileName).text())) {
        text.emplace(*contents);
    }
}

std::string IniFile::value(const std::string& section, const std::string& key) const {
    return profile.read(section.c_str(), key.c_str(), bufferSize).text();
}

std::string IniFile::fullValue(const std::string& section, const std::string& key) const {
    return profile.read(section.c_str(), key.c_str(), wholeValue).text();
}

bool sameName(std::string_view a, std::string_view b) {
    return equalsNoCase(std::string(a).c_str(), std::string(b).c_str());
}

void reportIgnoredLines(const IniFile& file, Findings& findings) {
    // By IgnoredLine::Reason.
    constexpr const char* reasons[] = {"has no = between a key and its value", "comes before any [section]",
                                       "opens a section name without closing it with ]"};
    for (const platform::IgnoredLine& line : file.text->ignoredLines()) {
        const char* why = reasons[static_cast<size_t>(line.reason)];
        findings.warning(file.name, "", "",
                         "line " + std::to_string(line.number) + " is never read: \"" + line.text + "\" " + why);
    }
}

std::vector<std::string> unknownPlaceholders(const std::string& text) {
    std::vector<std::string> unknown;
    size_t open = text.find('%');
    while (open != std::string::npos) {
        const size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        const std::string candidate = text.substr(open, close - open + 1);
        bool word = close > open + 1;
        for (size_t at = open + 1; at < close; ++at) word = word && placeholderByte(text[at]);
        if (!word) {
            // The closing sign may open a real placeholder.
            open = close;
            continue;
        }
        bool known = false;
        for (const Placeholder& placeholder : placeholders) known = known || candidate == placeholder.text;
        if (!known) unknown.push_back(candidate);
        open = text.find('%', close + 1);
    }
    return unknown;
}

bool FirstKeys::answered(const IniFile& file, const platform::ProfileSection& section,
                         const platform::ProfileEntry& entry, Findings& findings) {
    std::string lowered = entry.key;
    for (char& byte : lowered) byte = toLowerAscii(byte);
    if (seen.insert(lowered).second) return true;
    findings.warning(file.name, section.name, entry.key,
                     "never read: an earlier " + entry.key + " in this section is the one read");
    return false;
}

}  // namespace kadrel::tools
