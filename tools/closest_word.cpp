// The "did you mean" of kadrel: for a misspelt key of an INI file, command
// or option alike.
#include "tools/closest_word.h"

#include <algorithm>

#include "core/text.h"

namespace kadrel::tools {

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

std::string didYouMean(const std::string& word, const std::vector<std::string>& known) {
    const std::string closest = closestWord(word, known);
    return closest.empty() ? "" : "; did you mean " + closest + "?";
}

}  // namespace kadrel::tools
