// The bookkeeping of an instance that no request shows: the arena fields and
// the save countdown.
#include <gtest/gtest.h>

#include "host/bot_instance.h"
#include "scratch_dir.h"

namespace kadrel {
namespace {

BotEvent event(int32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0) { return BotEvent{1, code, {p0, p1, 0, 0, 0}}; }

TEST(DispatchFields, ArenaEnterDataAndLeave) {
    BotInstance bot(1);
    EXPECT_STREQ(bot.arenaName, "<Unknown>");
    static const char arena[] = "trench";
    int context = 0;
    int data = 0;
    bot.dispatch(event(EventArenaEnter, reinterpret_cast<uintptr_t>(arena), reinterpret_cast<uintptr_t>(&context)));
    bot.dispatch(event(EventArenaData, reinterpret_cast<uintptr_t>(&data)));
    EXPECT_EQ(bot.arenaName, arena);
    EXPECT_EQ(bot.arenaContext, &context);
    EXPECT_EQ(bot.arenaData, &data);
    bot.dispatch(event(EventArenaLeave));
    EXPECT_EQ(bot.arenaContext, nullptr);
    EXPECT_EQ(bot.arenaName, arena) << "leaving keeps the name";
    EXPECT_EQ(bot.arenaData, &data);
}

TEST(DispatchFields, SaveCountdownRestartsAt300) {
    testing::ScratchDir scratch;
    BotInstance bot(1);
    EXPECT_EQ(bot.saveCountdown, 300);
    for (int i = 0; i < 299; ++i) bot.dispatch(event(EventTick));
    EXPECT_EQ(bot.saveCountdown, 1);
    bot.dispatch(event(EventTick));
    EXPECT_EQ(bot.saveCountdown, 300);
    bot.dispatch(event(EventTerm));
    EXPECT_EQ(bot.saveCountdown, 300) << "term neither resets nor moves the countdown";
}

TEST(DispatchFields, RefusedInstanceIsDisabled) {
    BotInstance bot(1);
    bot.dispatch(event(EventInit, 0x00070000));
    EXPECT_TRUE(bot.disabled);
    bot.dispatch(event(EventTick));
    EXPECT_EQ(bot.saveCountdown, 300) << "a disabled instance handles nothing";
}

}  // namespace
}  // namespace kadrel
