// Leases across folders: two folders of one economy, each with a host (the
// stand-in arena) and its own kadrel sync, against the test's PostgreSQL. A
// player's credits are taken only where the folder holds the player's lease;
// the lease moves with the player, one folder at a time.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "accounts/bank_reader.h"
#include "accounts/ledger.h"
#include "accounts/shared_economy.h"
#include "bank_model.h"
#include "child_process.h"
#include "postgres_server.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/working_directory.h"

namespace kadrel::testing {
namespace {

using namespace std::chrono_literals;

const std::string refused = "The bank is not available right now";

struct Folder {
    ScratchFolder dir;
    std::optional<ChildProcess> sync;
    std::optional<ChildProcess> host;

    // The end of the newest lease of `name` in the journal; 0 for none or one let go.
    int64_t leaseEnd(const char* name) const {
        const tools::WorkingDirectory inside(dir.path());
        ReadProblems problems;
        return sharedEconomyOf(readJournalSnapshot(problems).records).leaseEnd(nameKeyOfText(name));
    }
    int32_t credits(const char* name) const {
        const tools::WorkingDirectory inside(dir.path());
        kadrel::Ledger ledger;
        readBankSnapshot(ledger);
        const CreditAccount* account = ledger.find(name);
        return account != nullptr ? account->credits : 0;
    }
    std::string log() const { return dir.read(".sync-log"); }
};

class Leases : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.installed()) GTEST_SKIP() << server.failure();
        ASSERT_EQ(server.failure(), "");
        // Alice's credits are A's; B has them from A.
        a.dir.write(bankFileName(), bankBytes({{"Alice", 100}}));
        for (Folder& folder : folders) {
            ASSERT_EQ(runKadrel("sync '" + folder.dir.path().string() + "' --db '" + server.conninfo() +
                                "' --join --apply").status, 0);
            startSync(folder);
            folder.host.emplace(std::vector<std::string>{KADREL_PROGRAM, "arena"}, folder.dir.path(),
                                folder.dir.path() / ".arena-log");
            folder.host->write("init\njoin Alice\njoin Bob\n");
        }
        ASSERT_TRUE(eventually([&] { return b.credits("Alice") == 100; })) << "A's opening never came down";
    }
    void startSync(Folder& folder) {
        folder.sync.emplace(std::vector<std::string>{KADREL_PROGRAM, "sync", "--db=" + server.conninfo()},
                            folder.dir.path(), folder.dir.path() / ".sync-log");
    }
    std::string sql(const std::string& text) { return server.query(text); }

    // The host's answer to a player's command.
    static std::string answer(Folder& folder, const std::string& player, const std::string& command) {
        folder.host->write(player + ": " + command + "\n");
        const std::string to = "[private to " + player + "] ";
        for (std::optional<std::string> line; (line = folder.host->readLine(10s));) {
            if (line->rfind(to, 0) == 0) return line->substr(to.size());
        }
        return "no answer";
    }
    // The host's answer to a donation of Alice's.
    std::string donate(Folder& folder, int amount) { return answer(folder, "Alice", "!donate Bob:" + std::to_string(amount)); }
    // kadrel's `command` for the folder, with `rest` after its path.
    static ProgramRun kadrelIn(const Folder& folder, const std::string& command, const std::string& rest) {
        return runKadrel(command + " '" + folder.dir.path().string() + "' " + rest);
    }
    // Asks again until the donation is taken, a few seconds at most; the
    // answers before that.
    std::vector<std::string> donateUntilTaken(Folder& folder, int amount) {
        std::vector<std::string> answers;
        const std::string taken = std::to_string(amount) + " credits donated to Bob";
        for (int tries = 0; tries < 100; ++tries) {
            const std::string answer = donate(folder, amount);
            if (answer == taken) return answers;
            answers.push_back(answer);
            std::this_thread::sleep_for(100ms);
        }
        ADD_FAILURE() << "the donation was never taken: " << answers.back();
        return answers;
    }
    template <class Check>
    bool eventually(Check check) {
        for (int tries = 0; tries < 300; ++tries) {
            if (check()) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    PostgresServer server;
    Folder folders[2];
    Folder& a = folders[0];
    Folder& b = folders[1];
};

// Alice spends on A, then on B: refused there until B's program has the
// lease from A, whose bots stop first; B then holds A's spend in its balance.
TEST_F(Leases, ASpendWaitsForTheLeaseThenGoesThroughWhereThePlayerIs) {
    const std::vector<std::string> first = donateUntilTaken(a, 10);
    EXPECT_FALSE(first.empty()) << "A spends without a lease";
    for (const std::string& answer : first) EXPECT_EQ(answer, refused);
    EXPECT_GT(a.leaseEnd("alice"), std::time(nullptr) + 20);
    EXPECT_EQ(sql("SELECT origin FROM leases WHERE key = 'alice'"), "1");

    for (const std::string& answer : donateUntilTaken(b, 20)) EXPECT_EQ(answer, refused);
    EXPECT_EQ(a.leaseEnd("Alice"), 0);
    EXPECT_GT(b.leaseEnd("Alice"), std::time(nullptr) + 20);
    EXPECT_EQ(sql("SELECT origin FROM leases WHERE key = 'alice'"), "2");
    // Both spends in both folders and in the economy once each is shipped.
    EXPECT_EQ(b.credits("Alice"), 70);
    EXPECT_TRUE(eventually([&] { return a.credits("Alice") == 70; }));
    EXPECT_TRUE(eventually([&] { return sql("SELECT credits FROM balances WHERE key = 'alice'") == "70"; }));
    // And back: A asks again, B hands over.
    EXPECT_EQ(donate(a, 5), refused);
    donateUntilTaken(a, 5);
    EXPECT_EQ(b.leaseEnd("Alice"), 0);
    EXPECT_EQ(a.credits("Alice"), 65);
}

// After Alice went to B, A's program starts again (it reads the last
// minute's wishes) and A's bot saves (a save carries the wishes that still
// stand): A's wish for her lease was answered, and takes nothing back.
TEST_F(Leases, AnAnsweredWishDoesNotTakeTheLeaseBack) {
    donateUntilTaken(a, 10);
    donateUntilTaken(b, 20);
    a.host->write("leave Alice\n");
    const std::function<void()> befalls[] = {[&] {
                                                 a.sync->stop(SIGKILL);
                                                 startSync(a);
                                             },
                                             [&] { a.host->write("tick 300\n"); }};
    for (const auto& befall : befalls) {
        befall();
        std::this_thread::sleep_for(2s);
        EXPECT_EQ(sql("SELECT origin FROM leases WHERE key = 'alice'"), "2") << a.log();
        EXPECT_EQ(donate(b, 5), "5 credits donated to Bob");
    }
}

// Both folders want one player at once (a spend refused on each): at every
// moment at most one journal holds a live lease, and one folder ends with it.
TEST_F(Leases, TwoFoldersClaimingOnePlayerAtOnceOneWins) {
    a.host->write("Alice: !donate Bob:1\n");
    b.host->write("Alice: !donate Bob:1\n");
    const auto liveIn = [](const Folder& folder) { return folder.leaseEnd("Alice") > std::time(nullptr) + leaseMargin; };
    int seen = 0;
    for (int tries = 0; tries < 60; ++tries) {
        const bool inA = liveIn(a);
        const bool inB = liveIn(b);
        EXPECT_FALSE(inA && inB) << "both folders may take Alice's credits";
        seen += inA || inB;
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_GT(seen, 0);
    const std::string holder = sql("SELECT origin FROM leases WHERE key = 'alice'");
    ASSERT_TRUE(holder == "1" || holder == "2") << holder;
    EXPECT_TRUE(eventually([&] { return liveIn(holder == "1" ? a : b); }));
    EXPECT_FALSE(liveIn(holder == "1" ? b : a));
}

// A holder whose program stopped: its lease runs out, but its bots may have
// spent before the end, unshipped. Nobody takes the lease until the holder
// has shipped again; then the spend is in the taker's balance.
TEST_F(Leases, AnExpiredLeaseOfAStoppedHolderWaitsForItsShipping) {
    donateUntilTaken(a, 10);
    a.sync->stop(SIGKILL);
    EXPECT_EQ(donate(a, 15), "15 credits donated to Bob");  // within the lease, not shipped
    // The lease runs out, after the holder last caught up.
    sql("UPDATE leases SET until = (SELECT caught_up_at FROM origins WHERE origin = 1) + interval '1 millisecond'");
    EXPECT_EQ(donate(b, 20), refused) << b.log();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(donate(b, 20), refused);
    EXPECT_EQ(sql("SELECT origin FROM leases WHERE key = 'alice'"), "1");
    EXPECT_NE(b.log().find("the lease of Alice ran out at origin 1, which has not shipped since"), std::string::npos)
        << b.log();
    startSync(a);
    donateUntilTaken(b, 20);
    EXPECT_EQ(b.credits("Alice"), 55);
}

// The holder leaves the economy with a spend not yet shipped. The plan
// changes nothing; leaving ships the spend, lets the lease go, which the
// other folder takes at once, and gives the folder its balances back: its
// bots spend without leases, and !creset and kadrel bank set work again.
TEST_F(Leases, AFolderThatLeavesShipsEverythingAndLetsItsLeasesGo) {
    donateUntilTaken(a, 10);
    const std::string leave = "--leave --db '" + server.conninfo() + "'";
    const ProgramRun served = kadrelIn(a, "sync", leave + " --apply");
    EXPECT_EQ(served.status, 1);
    EXPECT_NE(served.err.find("another kadrel sync serves this folder's origin 1: stop it first"), std::string::npos)
        << served.err;
    EXPECT_EQ(a.sync->stop(SIGTERM), 0);
    EXPECT_EQ(donate(a, 15), "15 credits donated to Bob");
    const std::string journal = a.dir.read("Quorlen.bank.journal");
    const std::string shipped = sql("SELECT shipped_through FROM origins WHERE origin = 1");
    const ProgramRun plan = kadrelIn(a, "sync", leave);
    EXPECT_EQ(plan.status, 0) << plan.err;
    EXPECT_NE(plan.out.find("ships the 2 changes that the economy lacks"), std::string::npos) << plan.out;
    EXPECT_NE(plan.out.find("lets go of the leases of 1 player: Alice,"), std::string::npos);
    EXPECT_EQ(a.dir.read("Quorlen.bank.journal"), journal);
    EXPECT_TRUE(a.dir.exists("Quorlen.sync"));
    EXPECT_EQ(sql("SELECT origin FROM leases"), "1");
    EXPECT_EQ(sql("SELECT shipped_through FROM origins WHERE origin = 1"), shipped);

    const ProgramRun left = kadrelIn(a, "sync", leave + " --apply");
    ASSERT_EQ(left.status, 0) << left.err;
    EXPECT_EQ(sql("SELECT encode(name, 'escape'), credits FROM balances ORDER BY key"), "Alice|75\nBob|25");
    EXPECT_EQ(sql("SELECT count(*) FROM leases"), "0");
    EXPECT_EQ(a.leaseEnd("Alice"), 0) << "the bots stopped before the last shipping";
    for (const std::string& answer : donateUntilTaken(b, 20)) EXPECT_EQ(answer, refused);
    EXPECT_EQ(b.credits("Alice"), 55);
    EXPECT_EQ(donate(a, 5), "5 credits donated to Bob");
    a.host->write("level Bob 1\n");
    EXPECT_EQ(answer(a, "Bob", "!creset"), "All credits have been cleared");
    EXPECT_EQ(kadrelIn(a, "bank", "set Carol 7").out, "Carol: new account with 7 credits\n");
    const ProgramRun again = kadrelIn(a, "sync", "--db '" + server.conninfo() + "'");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("this folder has not joined an economy"), std::string::npos) << again.err;
}

// A held lease is renewed while the economy can be reached, and its end in
// the journal stays ahead of the bots' clock and margin; with the database
// gone, it is no longer renewed.
TEST_F(Leases, RenewalsKeepTheJournalsEndAhead) {
    donateUntilTaken(a, 10);
    const int64_t taken = a.leaseEnd("Alice");
    int64_t last = taken;
    for (int i = 0; i < 24; ++i) {
        std::this_thread::sleep_for(500ms);
        const int64_t end = a.leaseEnd("Alice");
        EXPECT_GE(end, last) << "at " << i;
        EXPECT_GT(end, std::time(nullptr) + leaseMargin) << "at " << i;
        last = end;
    }
    EXPECT_GT(last, taken) << "not renewed in 12 s";
    ASSERT_TRUE(server.stop());
    std::this_thread::sleep_for(11s);
    EXPECT_EQ(a.leaseEnd("Alice"), last);
}

}  // namespace
}  // namespace kadrel::testing
