// The POSIX stand-in for the Windows profile reader: parses INI text the way
// the system's reader treats the files that operators write.
#pragma once

#include <optional>
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

// A line that is neither blank, a comment, a section name nor a key: no value
// is ever read from it.
struct IgnoredLine {
    enum class Reason { NoEquals, BeforeAnySection, UnclosedSection };  // lint indexes its messages by these
    size_t number;     // from 1
    std::string text;  // without the blanks around it
    Reason reason;
};

class ProfileText {
public:
    explicit ProfileText(std::string_view text);

    // The value of the first matching key of the first matching section, names
    // compared ignoring ASCII case; nullptr when there is none.
    const std::string* find(std::string_view section, std::string_view key) const;

    // Every section and key in file order, duplicates included.
    const std::vector<ProfileSection>& allSections() const { return sections; }

    const std::vector<IgnoredLine>& ignoredLines() const { return ignored; }

private:
    // The names of `sections` and their keys in lower case, in the same order:
    // a look-up compares whole names instead of folding every byte again.
    struct FoldedSection {
        std::string name;
        std::vector<std::string> keys;
    };

    std::vector<ProfileSection> sections;
    std::vector<FoldedSection> folded;
    std::vector<IgnoredLine> ignored;

    // The section last looked up: readers ask for a section's keys one after
    // another, so its name is folded and found once for all of them.
    struct SectionAsked {
        std::string name;  // as asked, before folding
        size_t index;      // into `sections`; its size when there is none
    };
    mutable std::optional<SectionAsked> lastSection;
};

}  // namespace kadrel::platform
