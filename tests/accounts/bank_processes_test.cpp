// The bank's property test: several host processes, each with several bots,
// award, donate, buy, save and reload on overlapping players at once, round
// after round, with resets of all credits between rounds. Every change whose
// reply (or event) completed is logged; the bank at the end must equal their
// sum, and no balance may be below zero, since only spending takes credits
// away.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "accounts/bank_reader.h"
#include "accounts/history_file.h"
#include "bank_model.h"
#include "host/bot_instance.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

constexpr int processes = 3;
constexpr uint32_t botsPerProcess = 2;
constexpr int rounds = 12;
constexpr int stepsPerRound = 250;
constexpr int32_t shieldPrice = 30;
const char* const names[] = {"Ann", "ANN", "Bob", "bob", "Cy", "Dee", "Eve", "Fox"};

// One completed change, appended to the shared log in one write by the child
// that saw it complete; an empty name stands for a reset of all credits.
struct Change {
    char name[20];
    int32_t amount;
};

void logChange(int log, const std::string& name, int32_t amount) {
    Change change{};
    std::strncpy(change.name, name.c_str(), sizeof change.name - 1);
    change.amount = amount;
    if (write(log, &change, sizeof change) != sizeof change) _exit(3);
}

// The child: its own plug-in copy with several bots, random steps on random
// bots. Exit status 0 when every reply was one of those allowed.
[[noreturn]] void play(int log, uint32_t seed, uint32_t firstHandle) {
    int status = 0;
    {
        TestHost host;
        std::mt19937 random(seed);
        for (uint32_t bot = 0; bot < botsPerProcess; ++bot) host.init(firstHandle + bot);
        for (int step = 0; step < stepsPerRound && status == 0; ++step) {
            const uint32_t handle = firstHandle + random() % botsPerProcess;
            const unsigned kind = random() % 100;
            const std::string name = names[random() % std::size(names)], other = names[random() % std::size(names)];
            const int32_t amount = static_cast<int32_t>(1 + random() % 28);
            host.clearRequests();
            if (kind < 45) {
                host.prize(handle, PlayerRecord(name), amount);
                logChange(log, name, amount);
            } else if (kind < 75) {
                const std::string reply =
                    host.reply(handle, PlayerRecord(name), "donate", other + ":" + std::to_string(amount));
                if (reply == std::to_string(amount) + " credits donated to " + other) {
                    logChange(log, other, amount);
                    logChange(log, name, -amount);
                } else if (reply != "You do not have enough credits") {
                    status = 4;
                }
            } else if (kind < 95) {
                const std::string reply = host.reply(handle, PlayerRecord(name), "buy", "Shield");
                if (reply == "Shield for " + name) {
                    logChange(log, name, -shieldPrice);
                } else if (reply.rfind("You need ", 0) != 0) {
                    status = 5;
                }
            } else if (kind < 98) {
                host.term(handle);  // a checkpoint at a random moment
            } else {
                host.init(handle);  // a reload from bank and journal
            }
        }
    }
    _exit(status);
}

TEST(BankProcesses, TheBankEqualsEveryCompletedChange) {
    ScratchDir scratch;
    std::string settings = "[Credits]\n";
    for (int t = 1; t <= 28; ++t) settings += "Prize" + std::to_string(t) + "=" + std::to_string(t) + "\n";
    scratch.write("credits.ini", settings);
    scratch.write("buy.ini", "[Item0]\nName=Shield\nValue=" + std::to_string(shieldPrice) +
                                 "\nPrivAction0=Shield for %name%\n");
    const std::string start = bankBytes({{"Ann", 100}, {"Bob", 40}});
    scratch.write(bankFileName(), start);
    const int log = open("changes", O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(log, 0);

    std::mt19937 random(20261207);
    int resets = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<pid_t> children;
        for (uint32_t p = 0; p < processes; ++p) {
            const uint32_t seed = static_cast<uint32_t>(random());
            const pid_t child = fork();
            if (child == 0) play(log, seed, 10 + p * botsPerProcess);
            ASSERT_GT(child, 0);
            children.push_back(child);
        }
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a child saw a wrong reply: " << status;
        }
        if (random() % 4 == 0) {
            // A reset between rounds, by a bot of the test's own.
            BotInstance resetter(1);
            resetter.loadBank();
            resetter.clearAccounts({JournalCause::OperatorReset, "Test"});
            const Change reset{};
            ASSERT_EQ(write(log, &reset, sizeof reset), static_cast<ssize_t>(sizeof reset));
            ++resets;
        }
    }
    close(log);
    {
        BotInstance last(2);
        last.loadBank();
        last.saveBank();
    }

    BankModel model(start);
    const std::string changes = scratch.read("changes");
    for (size_t at = 0; at < changes.size(); at += sizeof(Change)) {
        Change change;
        std::memcpy(&change, changes.data() + at, sizeof change);
        if (change.name[0] == '\0') model = BankModel();
        else model.award(change.amount, change.name);
    }
    const Ledger records = parseBank(scratch.read(bankFileName()));
    BankModel saved;
    for (const BankRecord& record : records) {
        EXPECT_GE(record.credits, 0) << record.name << " was spent below zero";
        EXPECT_EQ(record.credits, model.balance(record.name)) << record.name;
        saved.award(record.credits, record.name);
    }
    EXPECT_EQ(saved.size(), records.size()) << "one record per name";
    // A refused spend may leave an empty account behind, or none.
    for (const BankRecord& account : parseBank(model.bytes())) {
        EXPECT_EQ(saved.balance(account.name), account.credits) << account.name;
    }
    // The history, replayed on the first bank, gives the same balances: every
    // change is in it once, each with its cause.
    struct Replay final : JournalVisitor {
        explicit Replay(const std::string& start) : model(start) {}
        void record(const JournalRecord& r) override {
            caused = caused && r.cause != static_cast<uint8_t>(JournalCause::Unknown);
            if (r.kind == static_cast<uint8_t>(JournalKind::Reset)) model = BankModel();
            if (r.kind <= static_cast<uint8_t>(JournalKind::Subtract)) {
                model.award(r.kind == static_cast<uint8_t>(JournalKind::Add) ? r.amount : -r.amount, r.name);
            }
        }
        BankModel model;
        bool caused = true;
    } history(start);
    EXPECT_TRUE(readHistory(history).empty());
    EXPECT_TRUE(history.caused);
    for (const BankRecord& record : records) {
        EXPECT_EQ(history.model.balance(record.name), record.credits) << record.name;
    }
    RecordProperty("resets", resets);
}

}  // namespace
}  // namespace kadrel::testing

#endif
