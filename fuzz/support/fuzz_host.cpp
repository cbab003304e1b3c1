#include "fuzz_host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "host/instances.h"
#include "scratch_dir.h"
#include "tools/whole_file.h"

namespace kadrel::fuzzing {

namespace fs = std::filesystem;

namespace {

// Made once for the run; a static's destructor removes it at exit.
const testing::ScratchFolder* scratchFolder = nullptr;

// The ledger fixture: ordinary names, names that differ only in case, the
// longest name that fits, bytes above 0x7f, balances at both limits and a
// record with meaningless bytes after its terminator.
struct FixtureAccount {
    std::string nameField;  // up to 20 bytes, written as they stand
    int32_t credits;
};

const FixtureAccount fixtureAccounts[] = {
    {"Alice", 5000},
    {"bob", 120},
    {"Carol Jones", 0},
    {"Dave", -40},
    {"BOB", 77},
    {"Nineteen_Chars_Name", 2147483647},
    {"Minnie", -2147483647 - 1},
    {std::string("Caf\xe9", 4), 900},
    {std::string("Eve\0garbage bytes!", 19), 333},
    {"Zed", 1000000},
};

fs::path startFolder;

// libFuzzer writes crash inputs relative to the current directory, which is
// the scratch folder while an input runs: they go where the fuzzer was
// started instead, unless the command line says where.
void anchorArtifacts(int* argc, char*** argv) {
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    bool hasArtifactPrefix = false;
    for (int i = 0; i < *argc; ++i) {
        std::string argument = (*argv)[i];
        const std::string_view option = "-artifact_prefix=";
        if (argument.compare(0, option.size(), option) == 0) {
            hasArtifactPrefix = true;
            argument = std::string(option) + fs::absolute(argument.substr(option.size())).string();
        }
        arguments.push_back(argument);
    }
    if (!hasArtifactPrefix) arguments.push_back("-artifact_prefix=" + startFolder.string() + "/");
    // argv[0] must stay the very pointer libFuzzer passed.
    pointers.push_back((*argv)[0]);
    for (size_t i = 1; i < arguments.size(); ++i) pointers.push_back(arguments[i].data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
}

}  // namespace

void enterScratchFolder(int* argc, char*** argv) {
    startFolder = fs::current_path();
    anchorArtifacts(argc, argv);
    std::error_code error;
    fs::path base = "/dev/shm";
    if (!fs::is_directory(base, error) || access(base.c_str(), W_OK) != 0) base = fs::temp_directory_path();
    static const testing::ScratchFolder folder(base);
    scratchFolder = &folder;
}

ScratchScope::ScratchScope() : WorkingDirectory(scratchFolder->path()) {}

const std::string& fixtureBank() {
    static const std::string bank = [] {
        std::string bytes;
        for (const FixtureAccount& account : fixtureAccounts) {
            bytes += testing::bankRecord(account.nameField, account.credits);
        }
        return bytes;
    }();
    return bank;
}

const std::vector<std::string>& fixtureNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> result;
        for (const FixtureAccount& account : fixtureAccounts) result.push_back(accountName(account.nameField));
        return result;
    }();
    return names;
}

void writeFile(const char* name, std::string_view contents) {
    fs::remove(name);
    scratchFolder->write(name, contents);
}

void enterScratchFolderWithFixtures(int* argc, char*** argv, std::initializer_list<const char*> fixtures) {
    enterScratchFolder(argc, argv);
    const ScratchScope scratch;
    for (const char* name : fixtures) {
        const std::string path = std::string(KADREL_FUZZ_FIXTURES) + "/" + name;
        const std::optional<std::string> bytes = tools::readWholeFile(path);
        if (!bytes) fail("missing fixture", path);
        writeFile(name, *bytes);
    }
}

void enterFixtureArena(int* argc, char*** argv) {
    enterScratchFolderWithFixtures(argc, argv, {"buy.ini", "credits.ini"});
}

void resetFixtureArena() {
    removeFilesExcept({"buy.ini", "credits.ini"});
    writeFile("Quorlen.bank", fixtureBank());
}

std::string readFile(const char* name) { return scratchFolder->read(name); }

void removeFilesExcept(std::initializer_list<std::string_view> kept) {
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::current_path())) {
        const std::string name = entry.path().filename().string();
        bool keep = false;
        for (std::string_view candidate : kept) keep = keep || candidate == name;
        if (!keep) fs::remove_all(entry.path());
    }
}

void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "FINDING: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::fflush(stderr);
    std::abort();
}

Host::Host() : RequestCollector(::talk, [](const std::string& fault) { fail(fault.c_str()); }) {}

Host::~Host() { destroyInstances(); }

std::string randomName(FuzzedDataProvider& input, const std::vector<std::string>& names) {
    if (!names.empty() && input.ConsumeBool()) {
        std::string name = names[input.ConsumeIntegralInRange<size_t>(0, names.size() - 1)];
        const uint32_t flips = input.ConsumeIntegral<uint32_t>();
        for (size_t i = 0; i < name.size() && i < 32; ++i) {
            if ((flips >> i) & 1) name[i] = static_cast<char>(name[i] ^ 0x20);
        }
        return name;
    }
    return input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, nameFieldSize));
}

std::string randomNumberText(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 5)) {
        case 0:
            return std::to_string(input.ConsumeIntegralInRange<int32_t>(-100, 10000));
        case 1:
            return std::to_string(input.ConsumeIntegral<int32_t>());
        case 2:
            return std::to_string(input.ConsumeIntegral<int64_t>());
        case 3:
            return input.PickValueInArray({"2147483647", "2147483648", "-2147483648", "-2147483649", "4294967296",
                                           "4294967297", "-0", "0", "-", "", "+5", " 5", "5 ", "007",
                                           "99999999999999999999"});
        case 4:
            return std::to_string(input.ConsumeIntegral<uint32_t>());
        default:
            return input.ConsumeRandomLengthString(24);
    }
}

PlayerRecord& Arena::randomPlayer(FuzzedDataProvider& input, const std::vector<std::string>& names) {
    PlayerRecord& player = records.emplace_back(randomName(input, names));
    player.ident(input.ConsumeIntegral<uint16_t>());
    player.accessLevel(input.ConsumeBool() ? input.ConsumeIntegralInRange<uint32_t>(0, 13)
                                           : input.ConsumeIntegral<uint32_t>());
    player.team(input.ConsumeBool() ? input.ConsumeIntegralInRange<uint16_t>(0, 3) : input.ConsumeIntegral<uint16_t>());
    player.flagCount(input.ConsumeBool() ? 0 : input.ConsumeIntegral<uint16_t>());
    player.ship(input.ConsumeIntegralInRange<uint8_t>(0, 9));
    player.squad(input.ConsumeRandomLengthString(squadFieldSize - 1).substr(0, squadFieldSize - 1));
    player.position(input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>());
    player.scores(input.ConsumeIntegral<int32_t>(), input.ConsumeIntegral<int32_t>());
    return player;
}

void Arena::populate(FuzzedDataProvider& input, const std::vector<std::string>& names, size_t maxPlayers,
                     size_t maxFlags) {
    const size_t playerCount = input.ConsumeIntegralInRange<size_t>(1, maxPlayers);
    for (size_t i = 0; i < playerCount; ++i) {
        PlayerRecord& player = randomPlayer(input, names);
        players.push_back(&player);
        host.players.add(player.record());
    }
    const size_t flagCount = input.ConsumeIntegralInRange<size_t>(0, maxFlags);
    for (size_t i = 0; i < flagCount; ++i) {
        const FlagRecord& flag =
            flagRecords.emplace_back(input.ConsumeIntegral<uint16_t>(), input.ConsumeIntegral<uint16_t>());
        host.flags.add(flag.record());
    }
}

PlayerRecord& Arena::pick(FuzzedDataProvider& input) {
    return *players[input.ConsumeIntegralInRange<size_t>(0, players.size() - 1)];
}

}  // namespace kadrel::fuzzing
