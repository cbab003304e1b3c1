#include "tools/lint/findings.h"

#include <algorithm>

#include "core/text.h"

namespace kadrel::tools {

void Findings::error(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& message) {
    found.push_back({Severity::Error, file, section, key, message});
}

void Findings::warning(const std::string& file, const std::string& section, const std::string& key,
                       const std::string& message) {
    found.push_back({Severity::Warning, file, section, key, message});
}

size_t Findings::errors() const {
    return static_cast<size_t>(std::count_if(found.begin(), found.end(),
                                             [](const Finding& finding) { return finding.severity == Severity::Error; }));
}

size_t Findings::warnings() const { return found.size() - errors(); }

void Findings::print(std::ostream& out) const {
    for (const Finding& finding : found) {
        out << finding.file;
        if (!finding.section.empty()) out << " [" << finding.section << ']';
        if (!finding.key.empty()) out << ' ' << finding.key;
        out << (finding.severity == Severity::Error ? ": error: " : ": warning: ") << finding.message << '\n';
    }
}

namespace {

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = toLowerAscii(a[i - 1]) == toLowerAscii(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string closestWord(const std::string& word, const std::vector<std::string>& known) {
    std::string best;
    size_t bestDistance = 3;
    for (const std::string& candidate : known) {
        const size_t distance = editDistance(word, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace kadrel::tools
