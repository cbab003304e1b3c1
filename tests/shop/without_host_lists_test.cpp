// A purchase before the host has lent its player and flag lists: both read
// as empty.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/bot_instance.h"

namespace kadrel {
namespace {

std::vector<std::string> sent;

void KADREL_CALL capture(BotEvent& request) {
    sent.emplace_back(reinterpret_cast<const char*>(request.code == RequestEcho ? request.p[0] : request.p[3]));
}

TEST(WithoutHostLists, ReportsFindNothingAndResetsReachNobody) {
    BotInstance bot(1);
    bot.callback = capture;
    auto* item = new ShopItem;
    item->name = "Kit";
    const int32_t codes[actionSlots] = {3, 10, 12, 16, 21, 25};
    std::memcpy(item->specialActions, codes, sizeof codes);
    bot.shopItems.append(item);

    HostPlayer buyer{};
    std::strcpy(buyer.name, "Alice");
    ChatCommand command{};
    command.commandName = "buy";
    command.parameterText = "kit";
    bot.handleCommand(&buyer, &command);
    EXPECT_EQ(sent, (std::vector<std::string>{"There are no carried flags", "There are no uncarried flags",
                                              "Display bought by Alice"}));
}

}  // namespace
}  // namespace kadrel
