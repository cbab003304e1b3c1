// The host link as the host sees it: events through the exported talk,
// requests collected from the callback.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bank_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

namespace fs = std::filesystem;

const Texts greeting = {"DLL plugin connected.", "Loading data...", "Data loaded"};
const std::string bankFile = "Quorlen.bank";
const PlayerRecord op = PlayerRecord("Op").accessLevel(1);
const PlayerRecord alice("Alice");

// The files in `folder` that this process holds open; on Windows, those that
// cannot be opened without sharing.
int heldFiles(const fs::path& folder) {
    int held = 0;
#ifdef _WIN32
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const HANDLE file = CreateFileW(entry.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        held += file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
    }
#else
    const std::string prefix = fs::canonical(folder).string() + "/";
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        held += fs::read_symlink(entry.path(), error).string().starts_with(prefix);
    }
#endif
    return held;
}

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

// A host that runs on after a disconnect may move or remove the bot's folder:
// a bot holds none of its files but while it is connected, whatever events
// come meanwhile, and one never connected holds none at all.
TEST(TalkFolder, ABotLetsGoOfItsFilesAtTheDisconnect) {
    const ScratchFolder base;
    const fs::path arena = base.path() / "arena";
    fs::create_directory(arena);
    TestHost host;
    {
        const tools::WorkingDirectory inside(arena);
        host.init(7);
        host.command(7, op, "cgive", "Alice:5");
        EXPECT_GT(heldFiles(arena), 0) << "the journal stays open while the bot is connected";
        host.term(7);
        host.command(7, op, "cgive", "Alice:5");
        host.tick(7, 300);
        host.tick(8, 300);
    }
    EXPECT_EQ(heldFiles(arena), 0);
    std::error_code error;
    fs::remove_all(arena, error);
    EXPECT_FALSE(fs::exists(arena)) << error.message();
}

// A host may answer a status line by sending events itself, here the
// connection of a second bot of the same folder: neither bot may wait for
// the other's lock, and both hold the same balances afterwards.
TEST_F(Talk, AHostMayConnectAnotherBotFromItsCallback) {
    scratch.write(bankFile, bankRecord("Alice", 100));
    scratch.write(bankFile + ".journal", std::string(64, 'x'));
    bool connected = false;
    host.onRequest = [&](const Request& request) {
        if (connected || request.text.find("is damaged; it was copied to") == std::string::npos) return;
        connected = true;
        host.init(9);
    };
    host.init(7);
    host.onRequest = nullptr;
    ASSERT_TRUE(connected);
    host.command(7, op, "cgive", "Alice:5");
    EXPECT_EQ(host.reply(9, alice, "creds"), "You have 105 credits");
    EXPECT_EQ(host.reply(7, alice, "creds"), "You have 105 credits");
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
