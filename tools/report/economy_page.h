// kadrel report's page: one HTML file that opens with no network, its
// tables plain HTML, its charts drawn from the data section it embeds.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace kadrel::tools {

void writeEconomyPage(std::ostream& out, const nlohmann::ordered_json& data);

}  // namespace kadrel::tools
