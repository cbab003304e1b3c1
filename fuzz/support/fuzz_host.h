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

#include "bank_model.h"
#include "host/host_contract.h"
#include "request_collector.h"
#include "tools/stand_in/host_records.h"
#include "tools/working_directory.h"

namespace kadrel::fuzzing {

using stand_in::CommandRecord;
using stand_in::FlagRecord;
using stand_in::PlayerRecord;

using testing::accountName;
using testing::BankModel;
constexpr size_t nameFieldSize = testing::bankNameBytes;
constexpr size_t squadFieldSize = 116;
constexpr size_t bankRecordSize = testing::bankRecordBytes;

// Makes a fresh scratch folder, removed at exit, for the inputs to run in. A
// tmpfs is preferred: the bank file is synced to disk at every save. Called
// from LLVMFuzzerInitialize with libFuzzer's arguments, to which it adds an
// absolute artifact prefix, so that crash inputs stay where the fuzzer was
// started.
void enterScratchFolder(int* argc, char*** argv);

// enterScratchFolder, then the named fixtures copied into the scratch folder
// for every input of the run to read.
void enterScratchFolderWithFixtures(int* argc, char*** argv, std::initializer_list<const char*> fixtures);

// The arena of the command and event targets: the shop and rewards fixtures,
// copied once, and the ledger fixture as the bank file. The first is for
// LLVMFuzzerInitialize; the second starts every input afresh, with what the
// last one left removed.
void enterFixtureArena(int* argc, char*** argv);
void resetFixtureArena();

// The scratch folder is the current directory while one of these lives; the
// fuzzer reads and writes its corpora outside of it, where it was started.
class ScratchScope : public tools::WorkingDirectory {
public:
    ScratchScope();
};

// The ledger fixture: the bank file that the command and event targets load.
const std::string& fixtureBank();

// The names in the ledger fixture, for players who should hit an account.
const std::vector<std::string>& fixtureNames();

// Files in the current directory. A file written is a new one, so that it
// never keeps the inode of the one it replaces.
void writeFile(const char* name, std::string_view contents);
std::string readFile(const char* name);

// Removes every file of the current directory but the named ones: what an
// input leaves behind (a bank file set aside, say) must not reach the next.
void removeFilesExcept(std::initializer_list<std::string_view> kept);

// Stops the run with a message: a finding.
[[noreturn]] void fail(const char* what, const std::string& detail = "");

// The host's side of the contract: every request is held to
// stand_in::checkRequest, a refused one is a finding. Destroying the host
// frees every bot instance, as the unload of the library does.
class Host final : public testing::RequestCollector {
public:
    Host();
    ~Host();
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

}  // namespace kadrel::fuzzing
