// What the profile reader sees in an INI file of the current directory, with
// every section and key listed, so that lint can name those that the plug-in
// never asks for.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/profile_parser.h"
#include "tools/lint/findings.h"

namespace kadrel::tools {

struct IniFile {
    std::string name;
    uint32_t bufferSize;  // the plug-in's, for this file's values
    platform::ProfileFile profile;  // as the plug-in reads it
    std::optional<platform::ProfileText> text;  // none when the file cannot be read

    IniFile(const char* fileName, uint32_t bufferSize);

    // The value as the plug-in reads it: at most bufferSize - 1 characters.
    std::string value(const std::string& section, const std::string& key) const;
    // The whole value, to tell whether the plug-in cuts it.
    std::string fullValue(const std::string& section, const std::string& key) const;
};

bool sameName(std::string_view a, std::string_view b);

// Warns of each line the profile reader passes over, such as "Kill 5": the
// operator meant a value there and the plug-in never sees it.
void reportIgnoredLines(const IniFile& file, Findings& findings);

// Tells, walking one section's entries in order, which of them the profile
// reader answers: the first of each key, ASCII case ignored. A later repeat is
// reported as never read.
class FirstKeys {
public:
    bool answered(const IniFile& file, const platform::ProfileSection& section, const platform::ProfileEntry& entry,
                  Findings& findings);

private:
    std::set<std::string> seen;
};

// The texts between percent signs that look like placeholders (letters,
// digits and underscores only) and are none of the plug-in's.
std::vector<std::string> unknownPlaceholders(const std::string& text);

}  // namespace kadrel::tools
