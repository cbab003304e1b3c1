// The request records that the send operations build: the slots a transcript
// does not show. Modes, addressees, sounds and handles are the transcripts'.
#include <gtest/gtest.h>

#include <vector>

#include "host/bot_instance.h"

namespace kadrel {
namespace {

std::vector<BotEvent> captured;

void KADREL_CALL capture(BotEvent& request) { captured.push_back(request); }

TEST(Requests, UnusedSlotsAreZero) {
    BotInstance bot(42);
    bot.callback = capture;
    HostPlayer player{};
    bot.sayPrivate(player, "private");
    bot.sayTeam(65535, "team");
    bot.sayPublic("public");
    bot.echo("status");
    ASSERT_EQ(captured.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(captured[i].p[4], 0u) << i;
    for (int slot = 1; slot < 5; ++slot) EXPECT_EQ(captured[3].p[slot], 0u) << slot;
}

}  // namespace
}  // namespace kadrel
