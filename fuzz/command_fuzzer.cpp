// Chat commands and help requests from random players, against the ledger and
// catalogue fixtures. Whatever is typed, the plug-in must neither crash nor
// leak, must answer only through well-formed requests, and must save a bank
// whose every name ends inside its 20 bytes.
#include <cstring>

#include "fuzz_host.h"

using namespace kadrel::fuzzing;

namespace {

constexpr uint32_t bot = 1;
constexpr int maxCommands = 48;

const char* const commandWords[] = {"about", "creds", "donate", "cgive", "ctake", "cget", "creset", "buy", "help"};
const char* const helpTopics[] = {"", "cgive", "ctake", "cget", "creset", "creds", "donate", "buy", "about",
                                  "CGIVE", "mod", "smod", "sop", "owner", "all"};
const char* const itemWords[] = {"Shield", "shield", "Nuke", "Radar", "Flags", "Reset", "Free", "Broken", "Big"};

std::string commandWord(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange(0, 7) != 0) return input.PickValueInArray(commandWords);
    return input.ConsumeRandomLengthString(12);
}

// A parameter text shaped like what the commands expect, or anything at all.
std::string parameterText(FuzzedDataProvider& input, const std::string& word) {
    switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
            return input.ConsumeRandomLengthString(96);
        case 1:
            return "";
        case 2:
            if (word == "buy") {
                std::string text = input.PickValueInArray(itemWords);
                if (input.ConsumeBool()) text += " " + input.ConsumeRandomLengthString(32);
                return text;
            }
            [[fallthrough]];
        default: {
            std::string text = randomName(input, fixtureNames());
            if (input.ConsumeBool()) text = std::string(input.ConsumeIntegralInRange(0, 2), ' ') + text;
            text += input.ConsumeBool() ? ":" : input.ConsumeRandomLengthString(3);
            text += randomNumberText(input);
            return text;
        }
    }
}

// Every saved record must be a whole 24 bytes whose name ends inside its
// field.
void checkSavedBank() {
    const std::string bank = readFile("Quorlen.bank");
    if (bank.size() % bankRecordSize != 0) fail("a bank file of a cut record", std::to_string(bank.size()));
    for (size_t offset = 0; offset < bank.size(); offset += bankRecordSize) {
        if (std::memchr(bank.data() + offset, '\0', nameFieldSize) == nullptr) {
            fail("a saved name without its terminator", bank.substr(offset, nameFieldSize));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    enterFixtureArena(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ScratchScope scratch;
    FuzzedDataProvider input(data, size);
    resetFixtureArena();
    Host host;
    Arena arena(host);
    arena.populate(input, fixtureNames(), 6, 4);
    host.init(bot);

    for (int i = 0; i < maxCommands && input.remaining_bytes() != 0; ++i) {
        // Now and then a player the host does not list.
        PlayerRecord& sender = input.ConsumeIntegralInRange(0, 9) == 0 ? arena.randomPlayer(input, fixtureNames())
                                                                       : arena.pick(input);
        if (input.ConsumeIntegralInRange(0, 5) == 0) {
            const std::string topic =
                input.ConsumeBool() ? input.PickValueInArray(helpTopics) : input.ConsumeRandomLengthString(12);
            host.help(bot, sender, topic);
            continue;
        }
        const std::string word = commandWord(input);
        host.command(bot, sender, word, parameterText(input, word));
    }

    host.term(bot);
    checkSavedBank();
    return 0;
}
