// Random streams of events for random bots: every code the host may send and
// codes it never sends, before the init event and after the term event, with
// refused and accepted versions, missing callbacks and lists. Slots that an
// event's code gives a record carry one (the host's part of the contract);
// every other slot carries a random number, which the plug-in must not follow.
#include <string>
#include <vector>

#include "fuzz_host.h"

using namespace kadrel::fuzzing;

namespace {

constexpr int maxEvents = 48;

const uint32_t interestingHandles[] = {0, 1, 2, 7, 9, 0xFFFFFFFF};
const char* const arenaNames[] = {"", "0", "Public 1", "Team vs Team"};
const char* const commandWords[] = {"about", "creds", "donate", "cgive", "ctake", "cget", "creset", "buy"};

uintptr_t slot(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer); }

uint32_t randomVersion(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return input.ConsumeIntegral<uint32_t>();
        case 1:
            return (input.ConsumeIntegralInRange<uint32_t>(5, 7) << 16) | input.ConsumeIntegral<uint16_t>();
        default:
            return 0x00060000u | input.ConsumeIntegralInRange<uint32_t>(0, 3);
    }
}

int32_t randomCode(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange(0, 15) == 0) return input.ConsumeIntegral<int32_t>();
    return input.ConsumeIntegralInRange(-1, 35);
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
    arena.populate(input, fixtureNames(), 5, 3);
    std::vector<uint32_t> handles(std::begin(interestingHandles), std::end(interestingHandles));
    handles.push_back(input.ConsumeIntegral<uint32_t>());

    for (int i = 0; i < maxEvents && input.remaining_bytes() != 0; ++i) {
        const uint32_t handle = handles[input.ConsumeIntegralInRange<size_t>(0, handles.size() - 1)];
        const int32_t code = randomCode(input);
        // A record the host may deliver as a null pointer now and then.
        auto player = [&]() -> uintptr_t {
            return input.ConsumeIntegralInRange(0, 15) == 0 ? 0 : slot(arena.pick(input).record());
        };
        switch (code) {
            case kadrel::stand_in::eventInit: {
                const uint32_t version = randomVersion(input);
                const uintptr_t callback = input.ConsumeIntegralInRange(0, 15) == 0 ? 0 : Host::callbackSlot();
                const uintptr_t players = input.ConsumeIntegralInRange(0, 7) == 0 ? 0 : slot(host.players.record());
                const uintptr_t flags = input.ConsumeIntegralInRange(0, 7) == 0 ? 0 : slot(host.flags.record());
                host.send(handle, code, version, callback, players, flags, input.ConsumeIntegral<uint32_t>());
                break;
            }
            case kadrel::stand_in::eventArenaEnter:
                host.send(handle, code, slot(input.PickValueInArray(arenaNames)), input.ConsumeIntegral<uintptr_t>());
                break;
            case kadrel::stand_in::eventPlayerDeath: {
                const uintptr_t died = player();
                host.send(handle, code, died, player());
                break;
            }
            case kadrel::stand_in::eventPlayerPrize: {
                const uintptr_t taker = player();
                const int32_t type = input.ConsumeBool() ? input.ConsumeIntegralInRange(-28, 28)
                                                         : input.ConsumeIntegral<int32_t>();
                host.send(handle, code, taker, static_cast<uint32_t>(type));
                break;
            }
            case kadrel::stand_in::eventCommand:
            case kadrel::stand_in::eventHelp: {
                const std::string word = code == kadrel::stand_in::eventHelp ? "help"
                                         : input.ConsumeBool()     ? input.PickValueInArray(commandWords)
                                                                   : input.ConsumeRandomLengthString(10);
                const CommandRecord command(word, input.ConsumeRandomLengthString(40));
                const uintptr_t sender = player();
                host.send(handle, code, sender, input.ConsumeIntegralInRange(0, 15) == 0 ? 0 : slot(command.record()));
                break;
            }
            case kadrel::stand_in::eventTick: {
                // Now and then enough ticks for a timed save.
                const int ticks = input.ConsumeIntegralInRange(0, 7) == 0 ? input.ConsumeIntegralInRange(1, 320) : 1;
                for (int t = 0; t < ticks; ++t) host.send(handle, code);
                break;
            }
            default: {
                uintptr_t p[5];
                for (uintptr_t& value : p) value = input.ConsumeIntegral<uintptr_t>();
                host.send(handle, code, p[0], p[1], p[2], p[3], p[4]);
                break;
            }
        }
    }
    return 0;
}
