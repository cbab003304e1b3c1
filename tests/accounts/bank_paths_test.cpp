// Whatever lies at the bank's path: a FIFO, a read-only file or directory,
// symbolic links, a crash's temporary files, a full disk. Each row says what
// the bot reports at init and at term and what must be on disk afterwards;
// the shop and rewards load in every case. Each row runs in a child process
// (as an unprivileged user when the test runs as root, so that file modes
// bind), which also keeps a bot that would wait on a FIFO from hanging the
// test.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "accounts/journal_format.h"
#include "bank_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {
namespace {

namespace fs = std::filesystem;

constexpr uid_t unprivileged = 65534;
const std::string startingBank = bankBytes({{"Bob", 100}});
const char* const keptInMemory = "changes are kept in memory until the next save";
const char* const bankUnavailable = "The bank is not available right now";

struct PathCase {
    const char* name;
    std::function<void(const ScratchDir&)> arrange;
    std::string initLine;                          // between "Loading data..." and "Data loaded", if any
    std::string balance;                           // the reply to Bob's !creds after a prize of 5
    std::string termLine;                          // after "DLL plugin disconnected.", if any
    std::function<void(const ScratchDir&)> check;  // on disk, afterwards
};

void PrintTo(const PathCase& row, std::ostream* out) { *out << row.name; }

Ledger bankAt(const ScratchDir& scratch, const std::string& name) { return parseBank(scratch.read(name)); }

const PathCase pathCases[] = {
    {"Fifo", [](const ScratchDir& s) { ASSERT_EQ(mkfifo((s.path() / "Quorlen.bank").c_str(), 0666), 0); },
     "Quorlen.bank is not a regular file; it is neither read nor saved over", bankUnavailable,
     "Quorlen.bank could not be saved; the changes stay in Quorlen.bank.journal",
     [](const ScratchDir& s) { EXPECT_TRUE(fs::is_fifo(s.path() / "Quorlen.bank")); }},
    {"ReadOnlyBank",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         fs::permissions(s.path() / "Quorlen.bank", fs::perms::owner_read | fs::perms::group_read);
     },
     "", "You have 105 credits", "Quorlen.bank is read-only; it was not saved",
     [](const ScratchDir& s) {
         EXPECT_EQ(s.read("Quorlen.bank"), startingBank) << "replaced";
         TestHost host;  // the journal kept the change
         host.init(2);
         EXPECT_EQ(host.reply(2, PlayerRecord("Bob"), "creds"), "You have 105 credits");
     }},
    {"ReadOnlyDirectory",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         fs::permissions(
             s.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read | fs::perms::others_exec);
     },
     "Quorlen.bank.journal cannot be opened; balances are not shown or spent until it can", bankUnavailable,
     std::string("Quorlen.bank could not be saved; ") + keptInMemory,
     [](const ScratchDir& s) {
         fs::permissions(s.path(), fs::perms::owner_all);
         EXPECT_EQ(s.read("Quorlen.bank"), startingBank);
     }},
    {"SymbolicLink",
     [](const ScratchDir& s) {
         // A one-letter target, the shortest a link can hold.
         s.write("b", startingBank);
         fs::create_symlink("b", s.path() / "Quorlen.bank");
     },
     "", "You have 105 credits", "",
     [](const ScratchDir& s) {
         EXPECT_TRUE(fs::is_symlink(s.path() / "Quorlen.bank")) << "the link was replaced";
         EXPECT_EQ(bankAt(s, "b"), (Ledger{{"Bob", 105}}));
     }},
    {"DanglingSymbolicLink", [](const ScratchDir& s) { fs::create_symlink("later.bank", s.path() / "Quorlen.bank"); },
     "", "You have 5 credits", "",
     [](const ScratchDir& s) {
         EXPECT_TRUE(fs::is_symlink(s.path() / "Quorlen.bank"));
         EXPECT_EQ(bankAt(s, "later.bank"), (Ledger{{"Bob", 5}}));
     }},
    {"StaleTemporaryFiles",
     [](const ScratchDir& s) {
         s.write("Quorlen.bank", startingBank);
         s.write("Quorlen.bank.4242.7.tmp", std::string(4800, 'x'));
         s.write("Quorlen.bank.1.1.tmp", "");
     },
     "", "You have 105 credits", "",
     [](const ScratchDir& s) {
         EXPECT_FALSE(s.exists("Quorlen.bank.4242.7.tmp"));
         EXPECT_FALSE(s.exists("Quorlen.bank.1.1.tmp"));
         EXPECT_EQ(bankAt(s, "Quorlen.bank"), (Ledger{{"Bob", 105}}));
     }},
};

// The expected lines of an event: what every one says, and the row's line.
Texts lines(Texts always, const std::string& extra, const char* last = nullptr) {
    if (!extra.empty()) always.push_back(extra);
    if (last != nullptr) always.push_back(last);
    return always;
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
            EXPECT_EQ(host.texts(), lines({"DLL plugin connected.", "Loading data..."}, row.initLine, "Data loaded"));
            EXPECT_NE(host.reply(1, PlayerRecord("Bob"), "buy"), "") << "the shop did not load";
            host.prize(1, PlayerRecord("Bob"), 3);
            EXPECT_EQ(host.reply(1, PlayerRecord("Bob"), "creds"), row.balance);
            for (const char* when : {"", "a second time, as a failure is reported once per streak"}) {
                host.clearRequests();
                host.term(1);
                EXPECT_EQ(host.texts(), lines({"DLL plugin disconnected."}, *when ? "" : row.termLine)) << when;
            }
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

// Writes until the disk refuses even a single byte.
void fillDisk() {
    std::FILE* filler = std::fopen("filler", "w");
    while (std::fputc('f', filler) != EOF && std::fflush(filler) == 0) {
    }
    std::fclose(filler);
}

// A disk that fills up: the journal append fails, the bot says so once and
// keeps the change in memory; once there is room the next checkpoint puts it
// in the bank. The failure comes at the bot's very first append, which must
// be reported like any other. Needs a small file system of its own, which
// only root can mount.
TEST(BankFullDisk, AFailedAppendIsReportedOnceAndLandsLater) {
    ScratchDir scratch;
    const fs::path mountPoint = scratch.path() / "small";
    fs::create_directory(mountPoint);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "cannot mount a small disk";
    scratch.write("small/credits.ini", "[Credits]\nAnyPrize=5\n");
    fs::current_path(mountPoint);
    const int pageOfRecords =
        static_cast<int>((sysconf(_SC_PAGESIZE) - currentLayout.headerSize) / currentLayout.recordSize);
    {
        TestHost host;
        // Another bot fills the journal's first page to its last byte, so
        // that no append of bot 1 fits on the full disk.
        host.init(2);
        for (int i = 0; i < pageOfRecords; ++i) host.prize(2, PlayerRecord("Ann"), 5);
        host.init(1);
        fillDisk();
        host.clearRequests();
        for (int i = 0; i < 300; ++i) host.prize(1, PlayerRecord("Bob"), 3);
        EXPECT_EQ(host.texts(), Texts{std::string("Quorlen.bank.journal could not be written; ") + keptInMemory});
        fs::remove("filler");
        host.clearRequests();
        host.term(1);
        EXPECT_EQ(host.texts(), Texts{"DLL plugin disconnected."});
    }
    fs::current_path(scratch.path());
    EXPECT_EQ(bankAt(scratch, "small/Quorlen.bank"), (Ledger{{"Ann", 5 * pageOfRecords}, {"Bob", 1500}}))
        << "every award of the full disk's time is saved";
    umount(mountPoint.c_str());
}

}  // namespace
}  // namespace kadrel::testing

#endif
