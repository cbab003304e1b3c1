// The POSIX stand-in for the Windows profile reader: parses INI text the way
// the system's reader treats the files that operators write.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kadrel::platform {

struct ProfileEntry {
    std::string key;
    std::string value;
};

struct ProfileSection {
    std::string name;
    std::vector<ProfileEntry> entries;
};

class ProfileText {
public:
    explicit ProfileText(std::string_view text);

    // The value of the first matching key of the first matching section, names
    // compared ignoring ASCII case; nullptr when there is none.
    const std::string* find(std::string_view section, std::string_view key) const;

    // Every section and key in file order, duplicates included.
    const std::vector<ProfileSection>& allSections() const { return sections; }

private:
    std::vector<ProfileSection> sections;
};

}  // namespace kadrel::platform
