// The bank when the disk, the lock or an operator's hand misbehaves, with a
// second bot of the same bank running where it matters: what the players were
// told must match what a bot started afterwards reads, nothing answered is
// lost or doubled, and no spend takes a balance below zero. Faults that are
// hard to make for real come through the platform's table of system calls,
// so the bots run in this process.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#endif

#include <filesystem>
#include <functional>
#include <string>

#include "accounts/bank_format.h"
#include "bank_model.h"
#include "host/bot_instance.h"
#include "host/instances.h"
#include "platform/platform.h"
#include "platform/system_calls.h"
#include "request_collector.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

namespace fs = std::filesystem;
using stand_in::PlayerRecord;

const PlayerRecord alice("Alice");
const PlayerRecord op = PlayerRecord("Op").accessLevel(1);

// Which calls fail, and what the flush of a new bank found the lock to be.
struct Faults {
    bool locks = false;
    bool writes = false;
    bool replaceLosesOld = false;  // Windows: ReplaceFile removes the old bank, then fails
    bool lockFreeWhileBankFlushed = false;
} faults;

const platform::SystemCalls real = platform::systemCalls;

// Whether another bot could take the journal's lock right now.
bool journalLockIsFree() {
    platform::SharedFile other;
    if (other.open(KADREL_BANK_JOURNAL) != platform::SharedFile::Opened::Ready || !other.tryLock()) return false;
    other.unlock();
    return true;
}

#ifdef _WIN32
bool isNewBank(HANDLE file) {
    char path[520];
    const DWORD length = GetFinalPathNameByHandleA(file, path, sizeof path, 0);
    return length > 4 && length < sizeof path && std::string(path + length - 4) == ".tmp";
}

// Named functions, not lambdas: the table holds the system's own
// calling convention, which a lambda's pointer does not take on 32-bit Windows.
BOOL WINAPI faultyWrite(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD done, LPOVERLAPPED at) {
    return !faults.writes && real.writeFile(file, bytes, size, done, at);
}

BOOL WINAPI watchedFlush(HANDLE file) {
    if (isNewBank(file)) faults.lockFreeWhileBankFlushed = journalLockIsFree();
    return real.flushFileBuffers(file);
}

BOOL WINAPI faultyReplace(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID exclude,
                          LPVOID reserved) {
    if (!faults.replaceLosesOld) return real.replaceFile(replaced, replacement, backup, flags, exclude, reserved);
    DeleteFileA(replaced);
    SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
    return FALSE;
}

BOOL WINAPI faultyLock(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED at) {
    return !faults.locks && real.lockFile(file, flags, reserved, low, high, at);
}

const platform::SystemCalls faulty = {
    real.createFile, faultyWrite, watchedFlush, real.setEndOfFile, faultyReplace, real.moveFile, faultyLock,
};
#else
// Only a new bank is flushed with fsync; the journal uses fdatasync.
const platform::SystemCalls faulty = {
    real.open,
    [](int file, const void* bytes, size_t size) -> intptr_t {
        return faults.writes ? -1 : real.write(file, bytes, size);
    },
    [](int file, const void* bytes, size_t size, int64_t at) -> intptr_t {
        return faults.writes ? -1 : real.pwrite(file, bytes, size, at);
    },
    [](int file) {
        faults.lockFreeWhileBankFlushed = journalLockIsFree();
        return real.fsync(file);
    },
    real.fdatasync,
    real.ftruncate,
    real.rename,
    real.link,
    [](int file, int command, struct flock* range) {
        return faults.locks && range->l_type != F_UNLCK ? -1 : real.lockRange(file, command, range);
    },
};
#endif

// Two bots of one bank, as two hosts would run them: each has its own
// journal handle, so they lock each other out as processes do.
struct Host final : RequestCollector {
    Host()
        : RequestCollector(::talk, [](const std::string& fault) { ADD_FAILURE() << "the host refuses: " << fault; }) {
        platform::systemCalls = faulty;
    }
    ~Host() {
        destroyInstances();
        faults = Faults{};
        platform::systemCalls = real;
    }
    // The host dies: no term event, nothing saved.
    void die() { destroyInstances(); }
};

struct Case {
    const char* name;
    // Runs the story on {Alice 100, Bob 50} with bots 1 and 2 started, and
    // gives the balances every reply so far implies.
    std::function<Ledger(Host&, const ScratchDir&)> story;
};

std::string balance(int32_t credits) { return "You have " + std::to_string(credits) + " credits"; }

const Case cases[] = {
    {"a damaged bank keeps its journal",
     [](Host& host, const ScratchDir& scratch) {
         EXPECT_EQ(host.reply(1, op, "cgive", "Alice:7"), "Credits added");
         host.die();
         const std::string bank = scratch.read(bankFileName());
         scratch.write(bankFileName(), bank + "x");
         host.init(3);
         EXPECT_EQ(host.reply(3, alice, "creds"), bankUnavailable) << "an empty bank shown";
         EXPECT_TRUE(scratch.exists("Quorlen.bank.damaged.journal"));
         scratch.write(bankFileName(), bank);  // the operator's repair, put back
         EXPECT_EQ(host.reply(3, alice, "creds"), balance(107));
         return Ledger{{"Alice", 107}, {"Bob", 50}};
     }},
    {"a missing bank is written again by a bot that holds it",
     [](Host& host, const ScratchDir& scratch) {
         host.prize(1, alice, 5);
         fs::remove(scratch.path() / bankFileName());
         host.init(3);
         EXPECT_EQ(host.reply(3, alice, "donate", "Bob:1"), bankUnavailable);
         EXPECT_EQ(host.reply(1, alice, "creds"), balance(105));
         host.tick(1, saveInterval);
         EXPECT_EQ(host.reply(3, alice, "creds"), balance(105));
         return Ledger{{"Alice", 105}, {"Bob", 50}};
     }},
    {"a journal that cannot be opened refuses spending",
     [](Host& host, const ScratchDir& scratch) {
         host.die();
         fs::remove(scratch.path() / KADREL_BANK_JOURNAL);
         fs::create_directory(scratch.path() / KADREL_BANK_JOURNAL);
         host.init(1);
         host.init(2);
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:100"), bankUnavailable);
         EXPECT_EQ(host.reply(2, alice, "donate", "Carol:100"), bankUnavailable);
         host.term(1);
         host.term(2);
         fs::remove(scratch.path() / KADREL_BANK_JOURNAL);
         return Ledger{{"Alice", 100}, {"Bob", 50}};
     }},
    {"a lock that fails refuses spending and keeps gifts",
     [](Host& host, const ScratchDir&) {
         faults.locks = true;
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:100"), bankUnavailable);
         EXPECT_EQ(host.reply(2, op, "cgive", "Dan:5"), "Credits added");
         EXPECT_EQ(host.reply(2, op, "ctake", "Bob:5"), bankUnavailable);
         faults.locks = false;
         EXPECT_EQ(host.reply(1, alice, "donate", "Carol:100"), "100 credits donated to Carol");
         EXPECT_EQ(host.reply(2, alice, "donate", "Bob:100"), "You do not have enough credits");
         return Ledger{{"Alice", 0}, {"Bob", 50}, {"Carol", 100}, {"Dan", 5}};
     }},
    {"a full disk refuses a spend it cannot record",
     [](Host& host, const ScratchDir&) {
         faults.writes = true;
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:100"), bankUnavailable);
         EXPECT_EQ(host.reply(2, alice, "donate", "Carol:100"), bankUnavailable);
         EXPECT_EQ(host.reply(2, alice, "buy", "shield"), bankUnavailable);
         faults.writes = false;
         EXPECT_EQ(host.reply(2, alice, "donate", "Carol:100"), "100 credits donated to Carol");
         EXPECT_EQ(host.reply(1, alice, "creds"), balance(0));
         return Ledger{{"Alice", 0}, {"Bob", 50}, {"Carol", 100}};
     }},
    {"a gift made while the bank is unreadable reaches the bank",
     [](Host& host, const ScratchDir& scratch) {
         host.die();
         const std::string bank = scratch.read(bankFileName());
         fs::remove(scratch.path() / bankFileName());
         fs::create_directory(scratch.path() / bankFileName());
         host.init(1);
         EXPECT_EQ(host.reply(1, op, "cgive", "Alice:9"), "Credits added");
         EXPECT_EQ(host.reply(1, alice, "creds"), bankUnavailable);
         host.term(1);
         host.die();  // only the journal can have kept it
         fs::remove(scratch.path() / bankFileName());
         scratch.write(bankFileName(), bank);
         return Ledger{{"Alice", 109}, {"Bob", 50}};
     }},
    {"a bank copied in is adopted, with the journal on top",
     [](Host& host, const ScratchDir& scratch) {
         host.prize(1, alice, 5);
         scratch.write(bankFileName(), bankBytes({{"Alice", 20}, {"Cid", 30}}));
         EXPECT_EQ(host.reply(2, alice, "creds"), balance(25));
         EXPECT_EQ(host.texts()[0], KADREL_BANK_FILE
                   " was replaced by another program; its balances are taken, with "
                   "the changes in " KADREL_BANK_JOURNAL " on top");
         host.tick(1, saveInterval);
         EXPECT_EQ(host.reply(1, alice, "creds"), balance(25));
         return Ledger{{"Alice", 25}, {"Cid", 30}};
     }},
    {"a journal emptied or moved by hand is noticed by every bot",
     [](Host& host, const ScratchDir& scratch) {
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:10"), "10 credits donated to Bob");
         scratch.write(KADREL_BANK_JOURNAL, "");
         EXPECT_EQ(host.reply(2, alice, "creds"), balance(100));
         EXPECT_EQ(host.texts()[0],
                   KADREL_BANK_JOURNAL " was emptied by another program; it starts afresh from " KADREL_BANK_FILE);
         EXPECT_EQ(host.reply(1, alice, "creds"), balance(100));
         fs::rename(scratch.path() / KADREL_BANK_JOURNAL, scratch.path() / "moved");
         EXPECT_EQ(host.reply(1, alice, "donate", "Bob:100"), "100 credits donated to Bob");
         EXPECT_EQ(host.texts()[0],
                   KADREL_BANK_JOURNAL " was moved or replaced by another program; the balances are read again");
         EXPECT_EQ(host.texts().size(), 2u) << "the new journal taken for one emptied";
         EXPECT_EQ(host.reply(2, alice, "donate", "Carol:100"), "You do not have enough credits");
         return Ledger{{"Alice", 0}, {"Bob", 150}};
     }},
#ifdef _WIN32
    {"a replacement that removed the old bank and failed still puts the new one in place",
     [](Host& host, const ScratchDir& scratch) {
         host.prize(1, alice, 5);
         faults.replaceLosesOld = true;
         host.tick(1, saveInterval);
         faults.replaceLosesOld = false;
         EXPECT_EQ(parseBank(scratch.read(bankFileName())), (Ledger{{"Alice", 105}, {"Bob", 50}}));
         EXPECT_EQ(host.reply(2, alice, "creds"), balance(105));
         return Ledger{{"Alice", 105}, {"Bob", 50}};
     }},
#endif
    {"a checkpoint writes the new bank without the lock",
     [](Host& host, const ScratchDir&) {
         host.prize(1, alice, 5);
         host.tick(1, saveInterval);
         EXPECT_TRUE(faults.lockFreeWhileBankFlushed);
         return Ledger{{"Alice", 105}, {"Bob", 50}};
     }},
};

TEST(BankFailsClosed, WhatPlayersWereToldIsWhatTheBankHoldsAfterARestart) {
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        ScratchDir scratch;
        scratch.write("buy.ini", "[Item0]\nName=shield\nValue=60\n");
        scratch.write("credits.ini", "[Credits]\nPrize5=5\n");
        scratch.write(bankFileName(), bankBytes({{"Alice", 100}, {"Bob", 50}}));
        Ledger told;
        {
            Host host;
            host.init(1);
            host.init(2);
            told = row.story(host, scratch);
            host.term(1);
            host.term(2);
        }
        Host host;
        host.init(9);
        host.term(9);
        EXPECT_EQ(parseBank(scratch.read(bankFileName())), told);
    }
}

}  // namespace
}  // namespace kadrel::testing
