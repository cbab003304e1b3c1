// The checks of kadrel lint. Each reads its INI file in the current directory
// with the platform's profile reader, the way the plug-in reads it, and takes
// what the plug-in's own loader made of it from the bot instance.
#pragma once

#include <string>
#include <vector>

#include "host/bot_instance.h"
#include "tools/lint/findings.h"

namespace kadrel::tools {

// `bot` has run loadShopItems, which filled `report`.
void lintBuyIni(const BotInstance& bot, const catalogue::LoadReport& report, Findings& findings);

// `bot` has run loadRewards; `echoes` are the texts it sent the host.
void lintCreditsIni(const BotInstance& bot, const std::vector<std::string>& echoes, Findings& findings);

}  // namespace kadrel::tools
