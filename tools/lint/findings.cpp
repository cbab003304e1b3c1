#include "tools/lint/findings.h"

#include <algorithm>

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

}  // namespace kadrel::tools
