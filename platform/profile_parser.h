// The POSIX stand-in for the Windows profile reader: INI text parsed once,
// then looked up key by key, as the system's reader treats the files that
// operators write. Its rules, each one a behaviour operators' files rely on:
//
// - Byte-order mark: a UTF-8 one at the very start is skipped.
// - Lines end at LF. Blanks (space, tab, CR, VT, FF) around a line, a section
//   name, a key and a value are trimmed, so CR LF files read as LF ones.
// - Comment: a line whose first non-blank character is ';'. A ';' anywhere
//   else is part of the text.
// - Section: a line that starts with '['; its name runs to the last ']' on
//   the line, and what follows that is dropped. A '[' line without ']', a line
//   without '=' and a key line before any section are passed over.
// - Key: the text before the first '='; the value is all after it.
// - Quotes: a value wrapped in a matching pair of double or single quotes is
//   given without them; any other quote stays.
// - Which wins: names are compared ignoring ASCII case; of sections with the
//   same name the first is the only one read, and in it the first of a key.
// - The cut: a value is given to a buffer of the reader's size, at most
//   bufferSize - 1 characters, nothing for a buffer of 0.
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

// The file as written: every section and key in file order, duplicates
// included, and the lines passed over.
struct ParsedProfile {
    std::vector<ProfileSection> sections;
    std::vector<IgnoredLine> ignored;
};

ParsedProfile parseProfile(std::string_view text);

// Look-up in a parsed file, as the system's reader answers.
class ProfileText {
public:
    explicit ProfileText(std::string_view text) : ProfileText(parseProfile(text)) {}
    explicit ProfileText(ParsedProfile parsed);

    // The whole value of the first matching key of the first matching section;
    // nullptr when there is none.
    const std::string* find(std::string_view section, std::string_view key) const;

    // The value as a reader with a buffer of `bufferSize` gets it.
    std::string_view read(std::string_view section, std::string_view key, size_t bufferSize) const;

    const std::vector<ProfileSection>& allSections() const { return parsed.sections; }
    const std::vector<IgnoredLine>& ignoredLines() const { return parsed.ignored; }

private:
    // The names of the sections and their keys in lower case, in the same
    // order: a look-up compares whole names instead of folding every byte again.
    struct FoldedSection {
        std::string name;
        std::vector<std::string> keys;
    };

    ParsedProfile parsed;
    std::vector<FoldedSection> folded;

    // The section last looked up: readers ask for a section's keys one after
    // another, so its name is folded and found once for all of them.
    struct SectionAsked {
        std::string name;  // as asked, before folding
        size_t index;      // into the sections; their count when there is none
    };
    mutable std::optional<SectionAsked> lastSection;
};

}  // namespace kadrel::platform
