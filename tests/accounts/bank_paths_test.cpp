// Whatever lies at the bank's or the journal's path: a directory, a FIFO, an
// unreadable or read-only file, a read-only directory, symbolic links, a
// crash's temporary files, a full disk. Each row says what the bot reports at
// init and at term and what must be on disk afterwards; the shop and rewards
// load in every case. Each row runs in a child process (as an unprivileged
// user when the test runs as root, so that file modes bind), which also
// keeps a bot that would wait on a FIFO from hanging the test.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "bank_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;
using Ledger = std::vector<BankRecord>;

constexpr uid_t unprivileged = 65534;

struct PathCase {
    const char* name;
    std::function<void(const ScratchDir&)> arrange;
    Texts initLines;          // between "Loading data..." and "Data loaded"
    std::string balance;      // the reply to Bob's !creds after a prize of 5
    Texts termLines;          // after "DLL plugin disconnected."
    std::function<void(const ScratchDir&)> check;  // on disk, afterwards
};

void PrintTo(const PathCase& row, std::ostream* out) { *out << row.name; }

const std::string startingBank = bankBytes({{"Bob", 100}});

Ledger bankAt(const ScratchDir& scratch, const std::string& name) { return parseBank(scratch.readBytes(name)); }

// The last line of Bob's command.
std::string reply(TestHost& host, uint32_t bot, const char* word) {
    host.clearRequests();
    host.command(bot, PlayerRecord("Bob"), word);
    return host.requests.empty() ? "" : host.requests.back().text;
}

// What a fresh bot loads, once whatever blocked the bank is gone.
std::string balanceAfterRepair() {
    TestHost host;
    host.init(2);
    return reply(host, 2, "creds");
}

const PathCase pathCases[] = {
    {"Directory",
     [](const ScratchDir& s) { fs::create_directory(s.path() / "Quorlen.bank"); },
     {"Quorlen.bank is not a regular file; it is neither read nor saved over"},
     "",
     {"Quorlen.bank could not be saved; changes are kept in memory until the next save"},
     [](const ScratchDir& s) { EXPECT_TRUE(fs::is_directory(s.path() / "Quorlen.bank")); }},
    {"Fifo",
     [](const ScratchDir& s) { ASSERT_EQ(mkfifo((s.path() / "Quorlen.bank").c_str(), 0666), 0); },
     {"Quorlen.bank is not a regular file; it is neither read nor saved over"},
     "",
     {"Quorlen.bank could not be saved; changes are kept in memory until the next save"},
     [](const ScratchDir& s) { EXPECT_TRUE(fs::is_fifo(s.path() / "Quorlen.bank")); }},
    {"UnreadableBank",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         fs::permissions(s.path() / "Quorlen.bank", fs::perms::none);
     },
     {"Quorlen.bank cannot be read; it is not saved over until it can"},
     "",
     {"Quorlen.bank could not be saved; changes are kept in memory until the next save"},
     [](const ScratchDir& s) {
         fs::permissions(s.path() / "Quorlen.bank", fs::perms::owner_read | fs::perms::owner_write);
         EXPECT_EQ(s.read("Quorlen.bank"), startingBank) << "saved over";
     }},
    {"ReadOnlyBank",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         fs::permissions(s.path() / "Quorlen.bank", fs::perms::owner_read | fs::perms::group_read);
     },
     {},
     "You have 105 credits",
     {"Quorlen.bank is read-only; it was not saved"},
     [](const ScratchDir& s) {
         EXPECT_EQ(s.read("Quorlen.bank"), startingBank) << "replaced";
         EXPECT_EQ(balanceAfterRepair(), "You have 105 credits") << "the journal keeps the change";
     }},
    {"ReadOnlyDirectory",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         fs::permissions(s.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
     },
     {"Quorlen.bank.journal cannot be opened; changes are kept in memory until the next save"},
     "You have 105 credits",
     {"Quorlen.bank could not be saved; changes are kept in memory until the next save"},
     [](const ScratchDir& s) {
         fs::permissions(s.path(), fs::perms::owner_all);
         EXPECT_EQ(s.read("Quorlen.bank"), startingBank);
     }},
    {"SymbolicLink",
     [](const ScratchDir& s) {
         s.write("real.bank", startingBank);
         fs::create_symlink("real.bank", s.path() / "Quorlen.bank");
     },
     {},
     "You have 105 credits",
     {},
     [](const ScratchDir& s) {
         EXPECT_TRUE(fs::is_symlink(s.path() / "Quorlen.bank")) << "the link was replaced";
         EXPECT_EQ(bankAt(s, "real.bank"), (Ledger{{"Bob", 105}}));
     }},
    {"DanglingSymbolicLink",
     [](const ScratchDir& s) { fs::create_symlink("later.bank", s.path() / "Quorlen.bank"); },
     {},
     "You have 5 credits",
     {},
     [](const ScratchDir& s) {
         EXPECT_TRUE(fs::is_symlink(s.path() / "Quorlen.bank"));
         EXPECT_EQ(bankAt(s, "later.bank"), (Ledger{{"Bob", 5}}));
     }},
    {"JournalIsADirectory",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         fs::create_directory(s.path() / "Quorlen.bank.journal");
     },
     {"Quorlen.bank.journal is not a regular file; changes are kept in memory until the next save"},
     "You have 105 credits",
     {},
     [](const ScratchDir& s) { EXPECT_EQ(bankAt(s, "Quorlen.bank"), (Ledger{{"Bob", 105}})); }},
    {"StaleTemporaryFiles",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         s.write("Quorlen.bank.4242.7.tmp", std::string(4800, 'x'));
         s.write("Quorlen.bank.1.1.tmp", "");
     },
     {},
     "You have 105 credits",
     {},
     [](const ScratchDir& s) {
         EXPECT_FALSE(s.exists("Quorlen.bank.4242.7.tmp"));
         EXPECT_FALSE(s.exists("Quorlen.bank.1.1.tmp"));
         EXPECT_EQ(bankAt(s, "Quorlen.bank"), (Ledger{{"Bob", 105}}));
     }},
};

void fillDisk() {
    std::FILE* filler = std::fopen("filler", "w");
    const std::string block(512, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() && std::fflush(filler) == 0) {
    }
    std::fclose(filler);
    std::FILE* crumbs = std::fopen("crumbs", "w");
    while (std::fputc('c', crumbs) != EOF && std::fflush(crumbs) == 0) {
    }
    std::fclose(crumbs);
}

class BankPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(BankPaths, ReportsOnceAndKeepsEveryBalance) {
    const PathCase& row = GetParam();
    ScratchDir scratch;
    scratch.write("credits.ini", "[Credits]\nAnyPrize=5\n");
    scratch.write("buy.ini", "[Item0]\nName=Shield\nValue=1\n");
    const bool dropPrivileges = geteuid() == 0;
    auto giveAway = [&] {
        if (!dropPrivileges) return;
        ASSERT_EQ(chown(scratch.path().c_str(), unprivileged, unprivileged), 0);
        for (const auto& entry : fs::directory_iterator(scratch.path())) {
            ASSERT_EQ(lchown(entry.path().c_str(), unprivileged, unprivileged), 0);
        }
    };
    giveAway();
    row.arrange(scratch);
    giveAway();

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(20);  // a bot waiting on a FIFO fails the row instead of hanging it
        if (dropPrivileges && (setgid(unprivileged) != 0 || setuid(unprivileged) != 0)) _exit(2);
        {
            TestHost host;
            host.init(1);
            Texts expectedInit = {"DLL plugin connected.", "Loading data..."};
            expectedInit.insert(expectedInit.end(), row.initLines.begin(), row.initLines.end());
            expectedInit.push_back("Data loaded");
            EXPECT_EQ(host.texts(), expectedInit);
            EXPECT_NE(reply(host, 1, "buy"), "") << "the shop did not load";
            host.prize(1, PlayerRecord("Bob"), 3);
            EXPECT_EQ(reply(host, 1, "creds"), row.balance);
            host.clearRequests();
            host.term(1);
            Texts expectedTerm = {"DLL plugin disconnected."};
            expectedTerm.insert(expectedTerm.end(), row.termLines.begin(), row.termLines.end());
            EXPECT_EQ(host.texts(), expectedTerm);
            host.clearRequests();
            host.term(1);
            EXPECT_EQ(host.texts(), Texts{"DLL plugin disconnected."}) << "a failure is reported once per streak";
        }
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the bot was killed (a FIFO waited on?)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's checks failed; its output says which";
    row.check(scratch);
}

INSTANTIATE_TEST_SUITE_P(Rows, BankPaths, ::testing::ValuesIn(pathCases),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });

// A disk that fills up: the journal append fails, the bot says so once and
// keeps the change in memory; once there is room the next checkpoint puts it
// in the bank. Needs a small file system of its own, which only root can mount.
TEST(BankFullDisk, AFailedAppendIsReportedOnceAndLandsLater) {
    ScratchDir scratch;
    const fs::path mountPoint = scratch.path() / "small";
    fs::create_directory(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=12k") != 0) GTEST_SKIP() << "cannot mount a small disk";
    const fs::path previous = fs::current_path();
    fs::current_path(mountPoint);
    {
        TestHost host;
        std::ofstream("credits.ini") << "[Credits]\nAnyPrize=5\n";
        host.init(1);
        // Fill the disk up to the last byte.
        fillDisk();
        host.clearRequests();
        for (int i = 0; i < 300; ++i) host.prize(1, PlayerRecord("Bob"), 3);
        EXPECT_EQ(host.texts(),
                  Texts{"Quorlen.bank.journal could not be written; changes are kept in memory until the next save"});
        fs::remove("filler");
        fs::remove("crumbs");
        host.clearRequests();
        host.term(1);
        EXPECT_EQ(host.texts(), Texts{"DLL plugin disconnected."});
    }
    std::ifstream bank("Quorlen.bank", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(bank), std::istreambuf_iterator<char>()};
    EXPECT_EQ(parseBank(bytes), (Ledger{{"Bob", 1500}})) << "every award of the full disk's time is saved";
    fs::current_path(previous);
    umount(mountPoint.c_str());
}

}  // namespace
}  // namespace kadrel::testing

#endif
