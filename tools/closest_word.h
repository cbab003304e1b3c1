// The known word nearest to a misspelt one, shared by lint's findings and the
// program's own command line.
#pragma once

#include <string>
#include <vector>

namespace kadrel::tools {

// The known word closest to a misspelt one (two edits at most, ASCII case
// ignored), or "".
std::string closestWord(const std::string& word, const std::vector<std::string>& known);

// "; did you mean WORD?" for the closest known word, or "" when none is close.
std::string didYouMean(const std::string& word, const std::vector<std::string>& known);

}  // namespace kadrel::tools
