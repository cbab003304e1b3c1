// kadrel report's data: the bank, its history and its journal read in the
// bank's folder and summed up as one JSON document, which the page embeds
// and draws from. Integers and text only, so that every system writes the
// same bytes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/report/economy_tally.h"

namespace kadrel::tools {

// The figures of the current directory's bank for the changes in `range`;
// `from` and `to` are the range as the operator wrote it, shown on the page.
nlohmann::ordered_json economyData(const ReportRange& range, const std::string& from, const std::string& to);

}  // namespace kadrel::tools
