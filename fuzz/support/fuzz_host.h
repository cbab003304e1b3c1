// What every fuzz target shares: a scratch working directory, the fixture
// files, a host that sends events through talk and checks every request that
// comes back, and random host records drawn from the fuzzer's input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_contract.h"
#include "test_host.h"

namespace kadrel::fuzzing {

using testing::CommandRecord;
using testing::FlagRecord;
using testing::HostListRecord;
using testing::PlayerRecord;

constexpr uint32_t currentVersion = testing::currentVersion;
constexpr size_t nameFieldSize = 20;
constexpr size_t squadFieldSize = 116;
constexpr size_t bankRecordSize = 24;

// Makes a fresh scratch folder, removed at exit, for the inputs to run in. A
// tmpfs is preferred: the bank file is synced to disk at every save. Called
// from LLVMFuzzerInitialize with libFuzzer's arguments, to which it adds an
// absolute artifact prefix, so that crash inputs stay where the fuzzer was
// started.
void enterScratchFolder(int* argc, char*** argv);

// enterScratchFolder, then the named fixtures copied into the scratch folder
// for every input of the run to read.
void enterScratchFolderWithFixtures(int* argc, char*** argv, std::initializer_list<const char*> fixtures);

// The scratch folder is the current directory while one of these lives; the
// fuzzer reads and writes its corpora outside of it, where it was started.
class ScratchScope {
public:
    ScratchScope();
    ~ScratchScope();
    ScratchScope(const ScratchScope&) = delete;
    ScratchScope& operator=(const ScratchScope&) = delete;
};

// The content of fuzz/fixtures/<name>.
const std::string& fixture(const char* name);

// The ledger fixture: the bank file that the command and event targets load.
const std::string& fixtureBank();

// The names in the ledger fixture, for players who should hit an account.
const std::vector<std::string>& fixtureNames();

// Files in the current directory. A file is written under a new name and
// renamed into place, so that it never keeps the inode of the one it replaces.
void writeFile(const char* name, std::string_view contents);
std::string readFile(const char* name);

// Removes every file of the current directory but the named ones: what an
// input leaves behind (a bank file set aside, say) must not reach the next.
void removeFilesExcept(std::initializer_list<std::string_view> kept);
bool fileExists(const char* name);

// Stops the run with a message: a finding.
[[noreturn]] void fail(const char* what, const std::string& detail = "");

// The host's side of the contract. Every request is checked: it carries the
// handle of the bot whose event is being delivered (never 0), a known code and
// chat mode, zero in every slot its kind does not use, and a readable,
// NUL-terminated text. Destroying the host frees every bot instance, as the
// unload of the library does.
class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    void send(uint32_t handle, int32_t code, uintptr_t p0 = 0, uintptr_t p1 = 0, uintptr_t p2 = 0, uintptr_t p3 = 0,
              uintptr_t p4 = 0);
    void init(uint32_t handle, uint32_t version = currentVersion);
    void term(uint32_t handle);
    void tick(uint32_t handle);
    void command(uint32_t handle, const PlayerRecord& sender, std::string_view word, std::string_view parameters);
    void help(uint32_t handle, const PlayerRecord& asker, std::string_view topic);
    void death(uint32_t handle, const PlayerRecord& died, const PlayerRecord& killer);
    void prize(uint32_t handle, const PlayerRecord& player, int32_t prizeType);
    void flagVictory(uint32_t handle, uint32_t team);
    void soccerGoal(uint32_t handle, uint32_t team);

    static uintptr_t callbackSlot();

    HostListRecord players;
    HostListRecord flags;

    // Texts of the requests, kept only when asked for.
    bool keepTexts = false;
    std::vector<std::string> texts;
    uint64_t requestCount = 0;

private:
    static void KADREL_CALL callback(BotEvent& request);
    uint32_t deliveringHandle = 0;
    bool delivering = false;
};

// Host records drawn from the input. They live as long as the arena.
class Arena {
public:
    explicit Arena(Host& host) : host(host) {}

    // A player with random fields; names of up to 20 bytes, with or without
    // their terminator, often taken from `names` with their case changed.
    PlayerRecord& randomPlayer(FuzzedDataProvider& input, const std::vector<std::string>& names);

    // Adds players and flags to the host's lists.
    void populate(FuzzedDataProvider& input, const std::vector<std::string>& names, size_t maxPlayers,
                  size_t maxFlags);

    PlayerRecord& pick(FuzzedDataProvider& input);
    const std::vector<PlayerRecord*>& listed() const { return players; }

private:
    Host& host;
    std::deque<PlayerRecord> records;
    std::deque<FlagRecord> flagRecords;
    std::vector<PlayerRecord*> players;
};

// A name as the input chooses it: one of `names` with random capitals folded
// or raised, or random bytes; at most 20 bytes.
std::string randomName(FuzzedDataProvider& input, const std::vector<std::string>& names);

// A number as text: small, large, at the limits of 32 bits, beyond them, or
// with a stray sign or blank.
std::string randomNumberText(FuzzedDataProvider& input);

// The name an account gets from a player record: the bytes before the first
// NUL, at most 19.
std::string accountName(std::string_view nameField);

}  // namespace kadrel::fuzzing
