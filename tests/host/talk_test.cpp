// The host link as the host sees it: events through the exported talk,
// requests collected from the callback.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

const Texts greeting = {"DLL plugin connected.", "Loading data...", "Data loaded"};
const std::string bankFile = "Quorlen.bank";

class Talk : public ::testing::Test {
protected:
    // Whether the bot saved since the last look.
    bool saved() { return std::filesystem::remove(scratch.path() / bankFile); }

    ScratchDir scratch;
    TestHost host;
};

// One bot for each version; an older host's refusal, and what a refused bot
// then hears, are transcripts.
TEST_F(Talk, HandshakeAcceptsEvery6xVersionOnly) {
    const Texts outOfDate = {"DLL plugin cannot connect.  This plugin is out of date."};
    const std::pair<uint32_t, Texts> cases[] = {{0x0006FFFF, greeting}, {0x00070000, outOfDate}, {0xFFFF0000, outOfDate}};
    uint32_t handle = 1;
    for (const auto& [version, expected] : cases) {
        host.init(handle++, version);
        EXPECT_EQ(host.texts(), expected) << std::hex << version;
        host.clearRequests();
    }
}

TEST_F(Talk, TwoBotsAreKeptApart) {
    host.init(7);
    host.init(9, 0x00070000);
    host.clearRequests();
    host.term(7);
    host.init(9);  // refused for good: nothing
    host.term(9);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin disconnected."}));
}

TEST_F(Talk, HandleZeroHandlesEventsButNeverSends) {
    host.init(0);
    host.term(0);
    EXPECT_TRUE(host.requests.empty());
    EXPECT_TRUE(saved()) << "the term event still saved";
}

// Ticks count from the first event, init or not; a term saves at once and
// does not move the next timed save.
TEST_F(Talk, TimedSavesComeAtThe300thAnd600thTick) {
    host.tick(7, 299);
    EXPECT_FALSE(saved());
    host.tick(7);
    EXPECT_TRUE(saved());
    host.init(7);
    host.tick(7, 150);
    host.term(7);
    EXPECT_TRUE(saved());
    host.tick(7, 149);
    EXPECT_FALSE(saved());
    host.tick(7);
    EXPECT_TRUE(saved());
}

TEST_F(Talk, UnknownAndNegativeCodesChangeNothing) {
    host.init(7);
    host.clearRequests();
    std::vector<int32_t> ignored = {35, 36, 1000, -1, -2147483647 - 1};
    for (int32_t code = 6; code <= 34; ++code) {
        if (code != 12 && code != 14 && code != 20 && code != 21 && code != 27 && code != 30) ignored.push_back(code);
    }
    for (int32_t code : ignored) host.send(7, code, 1, 2, 3, 4, 5);
    EXPECT_TRUE(host.requests.empty());
    EXPECT_FALSE(saved());
}

TEST_F(Talk, EventsWithoutTheirRecordsAreDroppedQuietly) {
    host.init(7);
    host.clearRequests();
    const PlayerRecord record("Alice");
    const auto alice = reinterpret_cast<uintptr_t>(record.record());
    host.send(7, 12, 0, alice);
    host.send(7, 12, alice, 0);
    host.send(7, 14, 0, 3);
    host.send(7, 20, 0, 0);
    host.send(7, 21, alice, 0);
    EXPECT_TRUE(host.requests.empty());
    host.term(7);
    EXPECT_EQ(host.texts(), (Texts{"DLL plugin disconnected."})) << "the bot still works";
}

TEST(TalkUnload, ANewLoadStartsWithoutTheOldInstances) {
    ScratchDir scratch;
    std::optional<TestHost> host(std::in_place);
    host->init(7, 0x00050000);
    host.reset();  // unloading frees every instance, the refused one included
    host.emplace();
    host->init(7);
    EXPECT_EQ(host->texts(), greeting);
}

}  // namespace
}  // namespace kadrel::testing
