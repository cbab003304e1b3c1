// The bank's property test: several host processes, each with several bots,
// award, donate, buy, save and reload on overlapping players at once, round
// after round, with resets of all credits between rounds. A model kept by the test adds up every change whose
// reply (or event) completed; the bank at the end must equal it, and no
// balance may be below zero, since only spending takes credits away.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

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

std::string key(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// One completed change, as a child logs it once its reply came back.
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
        auto someName = [&] { return std::string(names[random() % std::size(names)]); };
        for (int step = 0; step < stepsPerRound && status == 0; ++step) {
            const uint32_t handle = firstHandle + random() % botsPerProcess;
            const unsigned kind = random() % 100;
            host.clearRequests();
            if (kind < 45) {
                const std::string name = someName();
                const int32_t amount = static_cast<int32_t>(1 + random() % 28);
                host.prize(handle, PlayerRecord(name), amount);
                logChange(log, name, amount);
            } else if (kind < 75) {
                const std::string from = someName();
                const std::string to = someName();
                const int32_t amount = static_cast<int32_t>(1 + random() % 50);
                host.command(handle, PlayerRecord(from), "donate", to + ":" + std::to_string(amount));
                const std::string reply = host.requests.empty() ? "" : host.requests.back().text;
                if (reply == std::to_string(amount) + " credits donated to " + to) {
                    logChange(log, to, amount);
                    logChange(log, from, -amount);
                } else if (reply != "You do not have enough credits") {
                    status = 4;
                }
            } else if (kind < 95) {
                const std::string buyer = someName();
                host.command(handle, PlayerRecord(buyer), "buy", "Shield");
                const std::string reply = host.requests.empty() ? "" : host.requests.back().text;
                if (reply == "Shield for " + buyer) {
                    logChange(log, buyer, -shieldPrice);
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

class BankProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        std::string settings = "[Credits]\n";
        for (int t = 1; t <= 28; ++t) settings += "Prize" + std::to_string(t) + "=" + std::to_string(t) + "\n";
        scratch.write("credits.ini", settings);
        scratch.write("buy.ini", "[Item0]\nName=Shield\nValue=" + std::to_string(shieldPrice) +
                                     "\nPrivAction0=Shield for %name%\n");
        scratch.write(bankFileName(), bankBytes({{"Ann", 100}, {"Bob", 40}}));
    }

    ScratchDir scratch;
};

TEST_F(BankProcesses, TheBankEqualsEveryCompletedChange) {
    std::map<std::string, int64_t> model = {{"ann", 100}, {"bob", 40}};
    std::mt19937 random(20261207);
    int resets = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<pid_t> children;
        std::vector<std::string> logs;
        for (int p = 0; p < processes; ++p) {
            logs.push_back("changes." + std::to_string(round) + "." + std::to_string(p));
            const int log = open(logs.back().c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            ASSERT_GE(log, 0);
            const uint32_t seed = static_cast<uint32_t>(random());
            const pid_t child = fork();
            if (child == 0) play(log, seed, 10 + static_cast<uint32_t>(p) * botsPerProcess);
            close(log);
            ASSERT_GT(child, 0);
            children.push_back(child);
        }
        for (pid_t child : children) {
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a child saw a wrong reply: " << status;
        }
        for (const std::string& log : logs) {
            const std::vector<uint8_t> bytes = scratch.readBytes(log);
            ASSERT_EQ(bytes.size() % sizeof(Change), 0u);
            for (size_t at = 0; at < bytes.size(); at += sizeof(Change)) {
                Change change;
                std::memcpy(&change, bytes.data() + at, sizeof change);
                model[key(change.name)] += change.amount;
            }
        }
        if (random() % 4 == 0) {
            // A reset between rounds, by a bot of the test's own.
            BotInstance resetter(1);
            resetter.loadBank();
            resetter.clearAccounts();
            model.clear();
            ++resets;
        }
    }

    {
        BotInstance last(2);
        last.loadBank();
        last.saveBank();
    }
    std::map<std::string, int64_t> saved;
    for (const BankRecord& record : parseBank(scratch.readBytes(bankFileName()))) {
        EXPECT_EQ(saved.count(key(record.name)), 0u) << "one record per name: " << record.name;
        EXPECT_GE(record.credits, 0) << record.name << " was spent below zero";
        saved[key(record.name)] = record.credits;
    }
    for (auto it = model.begin(); it != model.end();) {
        it = it->second == 0 && saved.count(it->first) == 0 ? model.erase(it) : std::next(it);
    }
    EXPECT_EQ(saved, model);
    RecordProperty("resets", resets);
}

}  // namespace
}  // namespace kadrel::testing

#endif
