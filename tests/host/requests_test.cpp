// The request records that the send operations build.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/bot_instance.h"

namespace kadrel {
namespace {

struct Captured {
    BotEvent request;
    std::string text;
};

std::vector<Captured> captured;

void KADREL_CALL capture(BotEvent& request) {
    const uintptr_t slot = request.code == RequestEcho ? request.p[0] : request.p[3];
    captured.push_back({request, reinterpret_cast<const char*>(slot)});
}

class Requests : public ::testing::Test {
protected:
    void SetUp() override {
        captured.clear();
        bot.callback = capture;
        player.ident = 3;
        player.team = 65535;
    }
    BotInstance bot{42};
    HostPlayer player{};
};

TEST_F(Requests, PrivateTeamAndPublicLines) {
    bot.sayPrivate(player, "private");
    bot.sayTeam(player.team, "team");
    bot.sayPublic("public");
    bot.echo("status");
    ASSERT_EQ(captured.size(), 4u);
    const uintptr_t expected[4][3] = {{SayPrivate, 0, 3}, {SayTeam, 0, 65535}, {SayPublic, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        const BotEvent& r = captured[i].request;
        EXPECT_EQ(r.handle, 42u);
        EXPECT_EQ(r.code, RequestSay);
        EXPECT_EQ(r.p[0], expected[i][0]);
        EXPECT_EQ(r.p[1], expected[i][1]);
        EXPECT_EQ(r.p[2], expected[i][2]);
        EXPECT_EQ(r.p[4], 0u);
    }
    EXPECT_EQ(captured[0].text, "private");
    EXPECT_EQ(captured[1].text, "team");
    EXPECT_EQ(captured[2].text, "public");
    EXPECT_EQ(captured[3].request.code, RequestEcho);
    EXPECT_EQ(captured[3].text, "status");
    for (int slot = 1; slot < 5; ++slot) EXPECT_EQ(captured[3].request.p[slot], 0u);
}

TEST_F(Requests, HandleIsStampedWhateverTheRecordHeld) {
    BotEvent request{999, RequestEcho, {reinterpret_cast<uintptr_t>("x"), 0, 0, 0, 0}};
    bot.sendRequest(request);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].request.handle, 42u);
}

TEST_F(Requests, DroppedWithoutCallbackOrWithHandleZero) {
    BotInstance waiting(5);
    waiting.echo("lost");
    BotInstance zero(0);
    zero.callback = capture;
    zero.echo("lost");
    EXPECT_TRUE(captured.empty());
}

}  // namespace
}  // namespace kadrel
