// Host processes killed at random moments, in the middle of an append or of a
// checkpoint of a large bank, while another process works on the same bank:
// after every kill the bank and its journal load, and at the end every change
// that a process had acknowledged is there exactly once. At most the one
// change in flight at each kill may or may not have landed.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bank_model.h"
#include "accounts/bank_reader.h"
#include "accounts/history_file.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

constexpr int fillerAccounts = 40000;  // makes a checkpoint last long enough to be hit
constexpr int playerCount = 8;

std::string playerName(int i) { return "Pilot" + std::to_string(i); }

// The child: two bots award one credit at a time to random players, each
// acknowledged by one byte (the player's number) on the pipe once the award
// has returned; now and then a bot checkpoints.
[[noreturn]] void awardForever(int acknowledgements, uint32_t seed) {
    BotInstance bots[2] = {BotInstance(1), BotInstance(2)};
    for (BotInstance& bot : bots) bot.loadBank();
    std::mt19937 random(seed);
    for (;;) {
        BotInstance& bot = bots[random() % 2];
        if (random() % 64 == 0) {
            bot.saveBank();
            continue;
        }
        const unsigned char player = static_cast<unsigned char>(random() % playerCount);
        bot.awardCredits(1, playerName(player).c_str(), {JournalCause::Prize, "", 1});
        if (write(acknowledgements, &player, 1) != 1) _exit(3);
    }
}

pid_t startChild(int acknowledgements, uint32_t seed) {
    const pid_t pid = fork();
    if (pid == 0) awardForever(acknowledgements, seed);
    return pid;
}

// Balances as a fresh bot loads them from bank and journal.
std::vector<int64_t> loadedBalances() {
    BotInstance reader(99);
    reader.loadBank();
    std::vector<int64_t> balances(playerCount);
    for (int i = 0; i < playerCount; ++i) {
        balances[i] = BotInstance::accountCredits(reader.findAccount(playerName(i).c_str()));
    }
    return balances;
}

TEST(BankCrash, KilledHostsLoseNoAcknowledgedChangeAndDoubleNone) {
    ScratchDir scratch;
    Ledger start;
    for (int i = 0; i < fillerAccounts; ++i) start.push_back({"Filler" + std::to_string(i), i});
    scratch.write(bankFileName(), bankBytes(start));

    std::mt19937 random(std::random_device{}());
    std::vector<int64_t> acknowledged(playerCount);
    int64_t total = 0;
    const auto budget = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    int kills = 0;
    // Every child acknowledges on the one pipe: a byte in it is an award that returned.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    fcntl(ends[0], F_SETFL, O_NONBLOCK);
    auto drain = [&] {
        unsigned char bytes[4096];
        for (ssize_t got; (got = read(ends[0], bytes, sizeof bytes)) > 0;) {
            for (ssize_t i = 0; i < got; ++i) ++acknowledged[bytes[i]];
            total += got;
        }
    };
    // A child killed every few milliseconds on a slow machine (an emulated one,
    // say) would never get past its load: each kill waits for an award that
    // returned since the last, so that kills land in awards and checkpoints.
    auto awaitAnAward = [&] {
        const int64_t before = total;
        const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (total == before && std::chrono::steady_clock::now() < patience) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            drain();
        }
    };
    pid_t children[2] = {startChild(ends[1], random()), startChild(ends[1], random())};
    while (kills < 60 && std::chrono::steady_clock::now() < budget) {
        awaitAnAward();
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        pid_t& victim = children[random() % 2];
        ASSERT_GT(victim, 0);
        kill(victim, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(victim, &status, 0), victim);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself with status " << status;
        ++kills;
        drain();
        victim = startChild(ends[1], random());
    }
    for (pid_t child : children) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    kills += 2;
    drain();
    close(ends[0]);
    close(ends[1]);

    const std::vector<int64_t> balances = loadedBalances();
    int64_t excess = 0;
    for (int i = 0; i < playerCount; ++i) {
        EXPECT_GE(balances[i], acknowledged[i]) << playerName(i) << " lost an acknowledged award";
        excess += balances[i] - acknowledged[i];
    }
    EXPECT_LE(excess, kills) << "more landed than the awards in flight at the kills: something was doubled";

    // A checkpoint folds everything and clears the crashes' leftovers.
    {
        BotInstance last(100);
        last.loadBank();
        last.saveBank();
    }
    EXPECT_EQ(loadedBalances(), balances);

    // The history then holds every award exactly once, with its cause, in
    // the order of the numbers: it replays to the balances.
    struct Replay final : JournalVisitor {
        std::vector<int64_t> balances = std::vector<int64_t>(playerCount);
        uint64_t last = 0;
        bool sound = true;
        void record(const JournalRecord& r) override {
            sound = sound && r.sequence > last && r.cause == static_cast<uint8_t>(JournalCause::Prize) && r.amount == 1;
            last = r.sequence;
            for (int i = 0; i < playerCount; ++i) balances[i] += playerName(i) == r.name;
        }
    } history;
    EXPECT_TRUE(readHistory(history).empty());
    EXPECT_TRUE(history.sound) << "a record twice, out of order or without its cause";
    EXPECT_EQ(history.balances, balances);
    const Ledger bank = parseBank(scratch.read(bankFileName()));
    ASSERT_GT(total, 0) << "no award was ever acknowledged: the test proved nothing";
    size_t players = 0;
    for (int64_t balance : balances) players += balance != 0 ? 1 : 0;
    ASSERT_EQ(bank.size(), fillerAccounts + players);
    for (int i = 0; i < fillerAccounts; ++i) ASSERT_EQ(bank[i], (BankRecord{"Filler" + std::to_string(i), i}));
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        EXPECT_NE(entry.path().extension(), ".tmp") << "left behind: " << entry.path();
    }
}

}  // namespace
}  // namespace kadrel::testing

#endif
