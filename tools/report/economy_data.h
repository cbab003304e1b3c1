// kadrel report's data: the bank, its history and its journal read in the
// bank's folder and summed up as one JSON document, which the page embeds
// and draws from. Integers and text only, so that every system writes the
// same bytes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/report/economy_tally.h"

namespace kadrel::tools {

// The figures of the current directory's bank for the changes in `range`,
// which the page shows as the operator wrote it.
nlohmann::ordered_json economyData(const TimeRange& range);

}  // namespace kadrel::tools
