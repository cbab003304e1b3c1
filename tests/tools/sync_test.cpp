// kadrel sync against a PostgreSQL server of the test's own: joining, the
// status, and the folder's changes shipped exactly once however often the
// program is killed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "accounts/bank_journal.h"
#include "accounts/bank_reader.h"
#include "accounts/ledger.h"
#include "bank_model.h"
#include "child_process.h"
#include "postgres_server.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/working_directory.h"

namespace kadrel::testing {
namespace {

// A bot of the folder, in this process, writing through the plug-in's journal.
struct FolderBot final : BankReporter {
    FolderBot() { bank.load(); }
    ~FolderBot() { bank.close(); }
    void report(const char*) override {}

    // A transaction of one change per name: a donation when two names split an amount.
    void change(std::initializer_list<std::pair<const char*, int32_t>> moves, JournalCause cause) {
        const BankJournal::Hold hold(bank);
        for (const auto& [name, amount] : moves) {
            const CreditAccount* account = ledger.find(name);
            const int32_t before = account != nullptr ? account->credits : 0;
            bank.reserve(1);
            ledger.award(amount, name);
            bank.note(makeJournalRecord(JournalKind::Add, amount, name, {cause}, before, ledger.find(name)->credits));
        }
        ASSERT_TRUE(bank.commit());
    }
    // The balance once the bot has taken in every change of the journal.
    int32_t credits(const char* name) {
        const BankJournal::Hold hold(bank);
        const CreditAccount* account = ledger.find(name);
        return account != nullptr ? account->credits : 0;
    }

    kadrel::Ledger ledger;
    BankJournal bank{ledger, *this, 1};
};

// The program in the background, as a service manager runs it.
struct SyncProgram : ChildProcess {
    // In `directory`, which then holds its log.
    explicit SyncProgram(const std::string& conninfo, const std::filesystem::path& directory = ".")
        : ChildProcess({KADREL_PROGRAM, "sync", "--db=" + conninfo}, directory, directory / ".sync-log") {}
};

class Sync : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.installed()) GTEST_SKIP() << server.failure();
        ASSERT_EQ(server.failure(), "");
    }
    ProgramRun sync(const std::string& options) { return runKadrel("sync --db '" + server.conninfo() + "' " + options); }
    std::string sql(const std::string& text) { return server.query(text); }
    // Waits until the query's answer is `expected`.
    bool becomes(const std::string& query, const std::string& expected) {
        for (int tries = 0; tries < 600; ++tries) {
            if (sql(query) == expected) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Waits until the economy holds the folder's changes up to `number`.
    bool shippedThrough(uint64_t number) { return becomes("SELECT shipped_through FROM origins", std::to_string(number)); }

    // How often a program has begun to serve the folder.
    size_t servings() const {
        const std::string log = folder.read(".sync-log");
        size_t count = 0;
        for (size_t at = log.find("serving origin"); at != std::string::npos; at = log.find("serving origin", at + 1)) ++count;
        return count;
    }

    PostgresServer server;
    ScratchDir folder;
};

// Every change of the folder's history and journal, as "number|kind|cause|ends|name|amount|before|after".
std::string folderChanges() {
    struct Lines final : TransactionVisitor {
        void transaction(std::span<const JournalRecord> records) override {
            for (const JournalRecord& r : records) {
                text += std::to_string(r.sequence) + "|" + std::to_string(r.kind) + "|" + std::to_string(r.cause) + "|" +
                        ((r.flags & endsTransaction) != 0 ? "t" : "f") + "|" + r.name + "|" + std::to_string(r.amount) +
                        "|" + std::to_string(r.before) + "|" + std::to_string(r.after) + "\n";
            }
        }
        std::string text;
    } lines;
    walkTransactions(lines);
    return lines.text;
}

// A folder's transactions as "kind|cause|time|detail|name|party|amount;"
// each: its own, and those brought down (their Arrived record left out) by
// origin, with the positions they came from in the order they came.
struct Story {
    std::vector<std::string> own;
    std::map<int32_t, std::vector<std::string>> arrived;
    std::vector<int64_t> positions;
};

Story folderStory() {
    struct Walk final : TransactionVisitor {
        void transaction(std::span<const JournalRecord> records) override {
            std::string text;
            for (const JournalRecord& r : records) {
                if (r.kind == static_cast<uint8_t>(JournalKind::Arrived)) continue;
                text += std::to_string(r.kind) + "|" + std::to_string(r.cause) + "|" + std::to_string(r.time) + "|" +
                        std::to_string(r.detail) + "|" + r.name + "|" + r.party + "|" + std::to_string(r.amount) + ";";
            }
            const JournalRecord& last = records.back();
            if (last.kind != static_cast<uint8_t>(JournalKind::Arrived)) return story.own.push_back(text);
            story.arrived[last.amount].push_back(text);
            story.positions.push_back(last.detail);
        }
        Story story;
    } walk;
    walkTransactions(walk);
    return walk.story;
}

// The origin the journal's newest Shared record names; 0 for none.
int64_t sharedOrigin() {
    ReadProblems problems;
    return sharedEconomyOf(readJournalSnapshot(problems).records).origin();
}

// Folders of one economy, each with a bot in this process and a sync program.
class SharedFolders : public Sync {
protected:
    struct Member {
        ScratchFolder dir;
        std::optional<FolderBot> bot;
        std::optional<SyncProgram> program;
    };
    // Joins a folder of these accounts; its origin is its place, from 1.
    Member& join(const Ledger& accounts) {
        members.push_back(std::make_unique<Member>());
        Member& member = *members.back();
        member.dir.write(bankFileName(), bankBytes(accounts));
        EXPECT_EQ(runKadrel("sync '" + member.dir.path().string() + "' --db '" + server.conninfo() + "' --join --apply").status, 0);
        in(member, [&] { member.bot.emplace(); });
        return member;
    }
    // The bank's files are found by the current directory.
    template <class Step>
    static auto in(Member& member, Step step) -> decltype(step()) {
        const tools::WorkingDirectory inside(member.dir.path());
        return step();
    }
    void start(Member& member) { member.program.emplace(server.conninfo(), member.dir.path()); }
    // Waits until every folder holds each other folder's opening and changes.
    bool converged() {
        for (int tries = 0; tries < 600; ++tries) {
            size_t arrived = 0, expected = 0;
            for (auto& member : members) {
                const Story story = in(*member, folderStory);
                expected += (story.own.size() + 1) * (members.size() - 1);
                for (const auto& [origin, texts] : story.arrived) arrived += texts.size();
            }
            if (arrived == expected) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Each folder holds every other's opening and then its changes, once
    // each and in order; the economy holds each folder's own once; every
    // folder's balances are the economy's.
    void expectOneEconomy() {
        std::vector<Story> stories;
        size_t own = 0;
        for (auto& member : members) {
            stories.push_back(in(*member, folderStory));
            for (const std::string& text : stories.back().own) own += std::count(text.begin(), text.end(), ';');
        }
        EXPECT_EQ(sql("SELECT count(*) FROM changes"), std::to_string(own)) << "nothing brought down is shipped back";
        const std::string balances = sql("SELECT encode(name, 'escape') || '|' || credits FROM balances ORDER BY key");
        for (size_t i = 0; i < members.size(); ++i) {
            for (size_t from = 0; from < members.size(); ++from) {
                if (from == i) continue;
                const std::vector<std::string>& got = stories[i].arrived[static_cast<int32_t>(from + 1)];
                ASSERT_FALSE(got.empty()) << "folder " << i + 1 << " lacks folder " << from + 1 << "'s opening";
                EXPECT_EQ(got.front(), sql("SELECT string_agg('1|17|' || extract(epoch FROM g.joined)::bigint || '|0|' || "
                                           "encode(o.name, 'escape') || '||' || o.credits || ';', '' ORDER BY o.position) "
                                           "FROM openings o JOIN origins g ON g.origin = o.origin WHERE o.origin = " +
                                           std::to_string(from + 1)));
                EXPECT_EQ(std::vector<std::string>(got.begin() + 1, got.end()), stories[from].own)
                    << "folder " << i + 1 << " from folder " << from + 1;
            }
            const std::vector<int64_t>& positions = stories[i].positions;
            EXPECT_TRUE(std::adjacent_find(positions.begin(), positions.end(), std::greater_equal<>()) == positions.end());
            kadrel::Ledger ledger;
            ASSERT_TRUE(in(*members[i], [&] { return readBankSnapshot(ledger).balancesKnown(); }));
            std::string mine;
            for (const std::string& line : split(balances)) {
                const std::string name = line.substr(0, line.find('|'));
                const CreditAccount* account = ledger.find(name.c_str());
                mine += (mine.empty() ? "" : "\n") + name + "|" + std::to_string(account != nullptr ? account->credits : 0);
            }
            EXPECT_EQ(mine, balances) << "folder " << i + 1;
        }
    }
    static std::vector<std::string> split(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    std::vector<std::unique_ptr<Member>> members;
};

// Three folders, each paying awards and donations: every change reaches
// the other two once, their bots, their history and kadrel bank history.
// A kill paying `to`, or a donation between two of the four, of up to
// `most` - 1 credits, drawn from `random`.
void payAtRandom(FolderBot& bot, std::mt19937& random, int most, bool kill) {
    const char* names[] = {"Alice", "Bob", "Carol", "Dave"};
    const char* from = names[random() % 4];
    const char* to = names[random() % 4];
    const auto amount = static_cast<int32_t>(random() % most);
    if (kill) {
        bot.change({{to, amount}}, JournalCause::Kill);
    } else {
        bot.change({{from, -amount}, {to, amount}}, JournalCause::DonationGiven);
    }
}

TEST_F(SharedFolders, EveryFolderHoldsEveryOtherFoldersChangesOnce) {
    Member& a = join({{"Alice", 100}, {"Bob", 20}});
    Member& b = join({{"Bob", 50}});
    Member& c = join({{"Carol", 5}});
    in(a, [&] {
        const ProgramRun status = sync("--status");
        EXPECT_NE(status.out.find("\nlag down: 2 changes, "), std::string::npos) << status.out;
    });
    for (auto& member : members) start(*member);
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        Member& member = *members[random() % 3];
        in(member, [&] {
            payAtRandom(*member.bot, random, 20, round % 2 == 0);
            // Brought down into a fresh journal, and filed with it.
            if (round == 15) member.bot->bank.checkpoint(3);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
    }
    in(a, [&] { a.bot->change({{"Erin", 123}}, JournalCause::Kill); });
    ASSERT_TRUE(converged()) << b.dir.read(".sync-log");
    expectOneEconomy();
    for (Member* member : {&b, &c}) {
        EXPECT_NE(in(*member, [&] { return runKadrel("bank history --csv").out; }).find(",kill,Erin,123,123,"), std::string::npos);
        // The bots take what came down into their balances.
        EXPECT_EQ(in(*member, [&] { return member->bot->credits("Erin"); }), 123);
    }
    in(c, [&] { EXPECT_NE(sync("--status").out.find("\nlag down: 0 changes, 0 seconds"), std::string::npos); });
    for (auto& member : members) EXPECT_EQ(member->program->stop(SIGTERM), 0);
    // Each folder's journal says which origin it is, from its join on; a
    // journal started afresh without it is told again.
    for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(in(*members[i], sharedOrigin), static_cast<int64_t>(i + 1));
    in(c, [&] {
        c.bot->bank.checkpoint(3);
        c.bot.reset();
        std::filesystem::remove("Quorlen.bank.journal");
        EXPECT_EQ(sharedOrigin(), 0);
    });
    start(c);
    for (int tries = 0; tries < 200 && in(c, sharedOrigin) != 3; ++tries) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(in(c, sharedOrigin), 3);
}

// The program that brings changes down, killed at random points over and
// over while the other folder keeps paying: each change comes down once.
TEST_F(SharedFolders, EachChangeComesDownOnceThoughTheProgramIsKilled) {
    Member& a = join({{"Alice", 1000}});
    Member& b = join({{"Bob", 1000}});
    start(a);
    std::mt19937 random(38);
    const char* names[] = {"Alice", "Bob", "Carol", "Dave"};
    int kills = 0;
    for (int round = 0; round < 40; ++round) {
        in(a, [&] {
            for (int i = 0; i < 60; ++i) payAtRandom(*a.bot, random, 50, i % 3 == 0);
        });
        in(b, [&] {
            b.bot->change({{names[random() % 4], 1}}, JournalCause::Prize);
            if (round % 10 == 9) b.bot->bank.checkpoint(3);
        });
        start(b);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
        kills += b.program->stop(SIGKILL) == -1;
    }
    EXPECT_GT(kills, 30);
    start(b);
    ASSERT_TRUE(converged()) << b.dir.read(".sync-log");
    expectOneEconomy();
}

TEST_F(Sync, JoiningShowsItsPlanThenBringsTheBalancesOnce) {
    folder.write(bankFileName(), bankBytes({{"Alice", 200}, {"Bob", 100}, {"alice", 7}}));
    const ProgramRun plan = sync("--join");
    ASSERT_EQ(plan.status, 0) << plan.err;
    EXPECT_NE(plan.out.find("its tables: none yet: created at version 2"), std::string::npos) << plan.out;
    EXPECT_NE(plan.out.find("it brings 2 accounts holding 300 credits, its balances as of change 0"), std::string::npos);
    EXPECT_NE(plan.out.find("1 account of names already listed are left out"), std::string::npos);
    EXPECT_EQ(sql("SELECT to_regclass('origins') IS NULL"), "t");
    EXPECT_FALSE(folder.exists("Quorlen.sync"));

    for (int run = 0; run < 2; ++run) {
        const ProgramRun joined = sync("--join --apply");
        ASSERT_EQ(joined.status, 0) << joined.err;
        EXPECT_NE(joined.out.find(run == 0 ? "as origin 1, bringing 2 accounts holding 300 credits" : "already"),
                  std::string::npos) << joined.out;
    }
    EXPECT_EQ(sql("SELECT version FROM kadrel_schema"), "2");
    EXPECT_EQ(sql("SELECT encode(name, 'escape'), credits FROM balances ORDER BY key"), "Alice|200\nBob|100");

    // A second folder with a player of the first: the balances add up.
    ScratchFolder other;
    other.write(bankFileName(), bankBytes({{"BOB", 50}, {"Carol", 5}}));
    const ProgramRun second = runKadrel("sync '" + other.path().string() + "' --db '" + server.conninfo() + "' --join");
    EXPECT_NE(second.out.find("the economy holds 2 accounts with 300 credits"), std::string::npos) << second.out;
    const ProgramRun secondJoined =
        runKadrel("sync '" + other.path().string() + "' --db '" + server.conninfo() + "' --join --apply");
    ASSERT_EQ(secondJoined.status, 0);
    EXPECT_EQ(secondJoined.err, "");  // nothing of the server's notices
    EXPECT_EQ(sql("SELECT encode(name, 'escape'), credits FROM balances ORDER BY key"), "Alice|200\nBob|150\nCarol|5");
    EXPECT_EQ(sql("SELECT origin, count(*), sum(credits) FROM openings GROUP BY origin ORDER BY origin"), "1|2|300\n2|2|55");
}

// Folders that join at once, the economy's tables not made yet: each is
// brought in once, and balances of one name add up.
TEST_F(Sync, FoldersJoiningAtOnceAreEachBroughtInOnce) {
    std::vector<std::unique_ptr<ScratchFolder>> folders;
    std::string together;
    for (int i = 0; i < 4; ++i) {
        folders.push_back(std::make_unique<ScratchFolder>());
        folders.back()->write(bankFileName(), bankBytes({{"Alice", 100 + i}, {"Folder" + std::to_string(i), 1}}));
        together += std::string("'" KADREL_PROGRAM "' sync '") + folders.back()->path().string() + "' --db '" +
                    server.conninfo() + "' --join --apply >/dev/null & ";
    }
    ASSERT_EQ(std::system((together + "wait").c_str()), 0);
    EXPECT_EQ(sql("SELECT count(*), sum(credits) FROM openings"), "8|410");
    EXPECT_EQ(sql("SELECT credits FROM balances WHERE key = 'alice'"), "406");
    EXPECT_EQ(sql("SELECT count(*), sum(credits) FROM balances"), "5|410");
}

// Killed at random points while bots keep paying, over and over: in the end
// the economy holds every change of the folder once, as the folder has it,
// and the balances the folder's bots hold.
TEST_F(Sync, EveryChangeIsShippedOnceThoughTheProgramIsKilled) {
    std::optional<FolderBot> bot(std::in_place);
    bot->change({{"Alice", 1000}}, JournalCause::OperatorGive);
    ASSERT_EQ(sync("--join --apply").status, 0);
    std::mt19937 random(38);
    const char* names[] = {"Alice", "Bob", "Carol", "Dave"};
    int kills = 0;
    for (int round = 0; round < 40; ++round) {
        for (int i = 0; i < 75; ++i) {
            const char* from = names[random() % 4];
            const char* to = names[random() % 4];
            const auto amount = static_cast<int32_t>(random() % 50);
            if (i % 3 == 0) {
                bot->change({{to, amount}}, JournalCause::Kill);
            } else {
                bot->change({{from, -amount}, {to, amount}}, JournalCause::DonationGiven);
            }
        }
        if (round % 10 == 9) bot->bank.checkpoint(3);
        SyncProgram program(server.conninfo());
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 400));
        kills += program.stop(SIGKILL) == -1;
    }
    EXPECT_GT(kills, 30);
    const std::string changes = folderChanges();
    const uint64_t last = std::stoull(changes.substr(changes.rfind('\n', changes.size() - 2) + 1));
    {
        const size_t starts = servings();
        SyncProgram program(server.conninfo());
        ASSERT_TRUE(shippedThrough(last)) << folder.read(".sync-log");
        while (servings() == starts) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(program.stop(SIGTERM), 0);
    }
    // The change that made the opening stays out; every later one is in once.
    EXPECT_EQ(sql("SELECT number || '|' || kind || '|' || cause || '|' || CASE WHEN ends THEN 't' ELSE 'f' END || '|' || "
                  "encode(name, 'escape') || '|' || amount || '|' || before || '|' || after FROM changes ORDER BY number") +
                  "\n",
              changes.substr(changes.find('\n') + 1));
    std::string balances;
    for (const char* name : names) balances += std::string(name) + "|" + std::to_string(bot->ledger.find(name)->credits) + "\n";
    EXPECT_EQ(sql("SELECT encode(name, 'escape'), credits FROM balances ORDER BY key") + "\n", balances);
}

// The database stopped hard, and back: what the folder did meanwhile goes up
// once the program finds it again.
TEST_F(Sync, ShippingGoesOnWhenTheDatabaseIsBack) {
    std::optional<FolderBot> bot(std::in_place);
    ASSERT_EQ(sync("--join --apply").status, 0);
    SyncProgram program(server.conninfo());
    bot->change({{"Alice", 5}}, JournalCause::Kill);
    ASSERT_TRUE(shippedThrough(1));
    ASSERT_TRUE(server.stop());
    for (int i = 0; i < 10; ++i) bot->change({{"Alice", -1}, {"Bob", 1}}, JournalCause::DonationGiven);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(shippedThrough(21)) << folder.read(".sync-log");
    EXPECT_EQ(sql("SELECT count(*), sum(amount) FROM changes"), "21|5");
    EXPECT_EQ(sql("SELECT encode(name, 'escape'), credits FROM balances ORDER BY key"), "Alice|-5\nBob|10");
    EXPECT_EQ(program.stop(SIGTERM), 0);
    const std::string log = folder.read(".sync-log");
    // Each trouble said once, not once a second: a server that is still
    // starting when the program tries again is a trouble of its own.
    std::set<std::string> troubles;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("cannot reach the economy") != std::string::npos) EXPECT_TRUE(troubles.insert(line).second) << log;
    }
    EXPECT_FALSE(troubles.empty()) << log;
}

// A session holding the origin that has said nothing for seconds is a
// program's that is gone (this one's, before the network lost it): the
// program waits until the server ends it, rather than give the folder up.
TEST_F(Sync, WaitsOutAQuietSessionThatHoldsTheOrigin) {
    FolderBot bot;
    ASSERT_EQ(sync("--join --apply").status, 0);
    std::thread quiet([&] { sql("SELECT pg_advisory_lock(70439, 1), pg_sleep(13)"); });
    std::this_thread::sleep_for(std::chrono::seconds(6));
    SyncProgram program(server.conninfo());
    quiet.join();
    bot.change({{"Alice", 5}}, JournalCause::Kill);
    EXPECT_TRUE(shippedThrough(1));
    EXPECT_EQ(program.stop(SIGTERM), 0);
}

// A program that waits for its origin while the folder leaves (here as its
// last step, Quorlen.sync gone, does) serves the folder no more.
TEST_F(Sync, AProgramWaitingWhileTheFolderLeftServesItNoMore) {
    FolderBot bot;
    ASSERT_EQ(sync("--join --apply").status, 0);
    bot.change({{"Alice", 5}}, JournalCause::Kill);
    std::thread quiet([&] { sql("SELECT pg_advisory_lock(70439, 1), pg_sleep(10)"); });
    std::this_thread::sleep_for(std::chrono::seconds(6));
    SyncProgram program(server.conninfo());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_NE(folder.read(".sync-log").find("another kadrel sync serves"), std::string::npos) << folder.read(".sync-log");
    std::filesystem::remove("Quorlen.sync");
    quiet.join();
    for (int tries = 0; tries < 100 && folder.read(".sync-log").find("has left") == std::string::npos; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(program.stop(SIGTERM), 1);
    EXPECT_NE(folder.read(".sync-log").find("this folder has left the economy in "), std::string::npos);
    EXPECT_EQ(sql("SELECT count(*) FROM changes"), "0");
}

// A bot that keeps earning while the folder leaves: every change before the
// journal's Shared record of 0 is in the economy, and none after it.
TEST_F(Sync, LeavingWhileABotEarnsShipsEveryChangeBeforeItsMarkAndNoneAfter) {
    FolderBot bot;
    ASSERT_EQ(sync("--join --apply").status, 0);
    std::atomic<bool> done{false};
    std::thread earning([&] {
        while (!done) {
            bot.change({{"Alice", 1}}, JournalCause::Kill);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const ProgramRun left = sync("--leave --apply");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    done = true;
    earning.join();
    ASSERT_EQ(left.status, 0) << left.err;
    ReadProblems problems;
    uint64_t before = 0, after = 0;
    bool marked = false;
    for (const JournalRecord& record : readJournalSnapshot(problems).records) {
        marked |= record.kind == static_cast<uint8_t>(JournalKind::Shared) && record.detail == 0;
        if (record.sequence != 0) (marked ? after : before) = record.sequence;
    }
    ASSERT_TRUE(marked);
    EXPECT_GT(after, before);
    EXPECT_EQ(sql("SELECT shipped_through, (SELECT count(*) FROM changes) FROM origins"),
              std::to_string(before) + "|" + std::to_string(before));
}

// Leaving refuses an economy it cannot reach. A leaving cut short once the
// journal says the folder left, with Quorlen.sync still there: no program
// serves the folder or marks it as shared again, and --leave --apply
// finishes without shipping what the bots did since. Then it can join anew.
TEST_F(Sync, ALeavingCutShortIsFinishedAndTheFolderServedNoMore) {
    std::optional<FolderBot> bot(std::in_place);
    ASSERT_EQ(sync("--join --apply").status, 0);
    bot->change({{"Alice", 5}}, JournalCause::Kill);
    const ProgramRun unreachable = runKadrel("sync --db 'host=/nonexistent' --leave --apply");
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_NE(unreachable.err.find("nothing was changed"), std::string::npos) << unreachable.err;
    EXPECT_EQ(sharedOrigin(), 1);
    {
        SyncProgram program(server.conninfo());
        ASSERT_TRUE(shippedThrough(1));
    }
    {
        const BankJournal::Hold hold(bot->bank);
        bot->bank.reserve(1);
        bot->bank.note(makeSharedRecord(0, std::time(nullptr)));
        ASSERT_TRUE(bot->bank.commit());
    }
    bot->change({{"Alice", 7}}, JournalCause::Kill);
    for (const char* options : {"", "--join --apply"}) {
        const ProgramRun refused = sync(options);
        EXPECT_EQ(refused.status, 1) << options;
        EXPECT_NE(refused.err.find("says that it left the economy: kadrel sync --leave --apply finishes"),
                  std::string::npos) << refused.err;
    }
    EXPECT_EQ(sharedOrigin(), 0);
    EXPECT_NE(sync("--leave").out.find("plan to finish leaving the economy"), std::string::npos);
    const ProgramRun left = sync("--leave --apply");
    EXPECT_EQ(left.status, 0) << left.err;
    EXPECT_FALSE(folder.exists("Quorlen.sync"));
    EXPECT_EQ(sql("SELECT shipped_through, (SELECT count(*) FROM changes) FROM origins"), "1|1");
    EXPECT_NE(sync("").err.find("this folder has not joined an economy"), std::string::npos);
    EXPECT_NE(sync("--join --apply").out.find("as origin 2, bringing 1 account holding 12 credits"), std::string::npos);
    EXPECT_EQ(sharedOrigin(), 2);
}

TEST_F(Sync, StatusSaysHowFarTheEconomyIsBehind) {
    const ProgramRun unreachable = runKadrel("sync --db 'host=/nonexistent' --status");
    EXPECT_EQ(unreachable.status, 1);
    EXPECT_NE(unreachable.out.find("economy: not reachable: "), std::string::npos) << unreachable.out;
    EXPECT_NE(sync("--status").out.find("no economy there yet"), std::string::npos);

    std::optional<FolderBot> bot(std::in_place);
    ASSERT_EQ(sync("--join --apply").status, 0);
    for (int i = 0; i < 3; ++i) bot->change({{"Alice", 5}, {"Bob", 5}}, JournalCause::Kill);
    const ProgramRun behind = sync("--status");
    EXPECT_EQ(behind.status, 0) << behind.err;
    // The changes were made within the last second or two.
    EXPECT_TRUE(std::regex_search(behind.out, std::regex("\nlag: 6 changes, [012] seconds?\nlag down: 0 changes, 0 seconds of other folders not yet in this "
                                                        "one\nleases held: 0\n"))) << behind.out;
    {
        SyncProgram program(server.conninfo());
        ASSERT_TRUE(shippedThrough(6));
        // A pass that found nothing more to ship says when it began.
        const std::string started = sql("SELECT now()");
        ASSERT_TRUE(becomes("SELECT caught_up_at > '" + started + "' FROM origins", "t"));
        // One program per folder: a second one is turned away.
        const ProgramRun second = sync("");
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.err.find("another kadrel sync serves this folder's origin 1"), std::string::npos) << second.err;
    }
    EXPECT_NE(sync("--status").out.find("lag: 0 changes, 0 seconds"), std::string::npos);
    // The leases: their names where they are few, live ones alone.
    const std::string lease = "INSERT INTO leases (key, origin, until, name) SELECT lower(n)::bytea, 1, now() + ";
    sql(lease + "interval '30 seconds', n::bytea FROM unnest(ARRAY['Bob', 'Alice']) AS n; " + lease +
        "interval '-1 second', 'Carol' FROM (SELECT 'Carol' AS n) AS t");
    EXPECT_NE(sync("--status").out.find("\nleases held: 2: Alice, Bob\n"), std::string::npos) << sync("--status").out;
    sql(lease + "interval '30 seconds', n::bytea FROM (SELECT 'P' || i AS n FROM generate_series(10, 18) AS i) AS t");
    EXPECT_NE(sync("--status").out.find("\nleases held: 11\n"), std::string::npos);
    // Restored from a backup older than what was shipped, the folder numbers
    // other changes as those: shipping past them would drop them.
    bot.reset();
    std::filesystem::remove("Quorlen.bank.journal");
    bot.emplace();
    for (int i = 0; i < 4; ++i) bot->change({{"Carol", 1}, {"Dave", 2}}, JournalCause::Kill);
    const ProgramRun restored = sync("");
    EXPECT_EQ(restored.status, 1);
    EXPECT_NE(restored.err.find("change 6 is not the one the economy holds from it"), std::string::npos) << restored.err;
    EXPECT_EQ(sql("SELECT count(*) FROM changes"), "6");
    // A database that a newer build migrated is never written by this one.
    sql("UPDATE kadrel_schema SET version = 99");
    const ProgramRun newer = sync("");
    EXPECT_EQ(newer.status, 1);
    EXPECT_NE(newer.err.find("version 99, newer than this build's 2"), std::string::npos) << newer.err;
}

}  // namespace
}  // namespace kadrel::testing
