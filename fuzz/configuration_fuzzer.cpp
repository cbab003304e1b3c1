// Random buy.ini and credits.ini, loaded by an init event and then exercised:
// the !buy listing, purchases by random players, and the game events that pay
// the rewards. Half of the inputs are built key by key, so that most sections
// parse; the other half are raw text.
#include <string>
#include <vector>

#include "fuzz_host.h"

using namespace kadrel::fuzzing;

namespace {

constexpr uint32_t bot = 3;
constexpr int maxSteps = 32;

const char* const placeholders[] = {"%name%", "%points%", "%squad%", "%freq1%", "%freq2%", "%param%", "%", "%%"};

const char* const rewardKeys[] = {"SoccerGoalEnemy", "SoccerGoalTeam", "FlagVictoryTeam", "FlagVictoryEnemy",
                                  "Kill",            "TeamKill",       "Killed",          "TeamKilled",
                                  "AnyPrize",        "CanGoNegative",  "Prize"};

std::string actionText(FuzzedDataProvider& input) {
    std::string text;
    const int pieces = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < pieces; ++i) {
        text += input.ConsumeBool() ? input.PickValueInArray(placeholders) : input.ConsumeRandomLengthString(24);
    }
    return text;
}

std::string numberedKey(FuzzedDataProvider& input, const char* stem) {
    return stem + std::to_string(input.ConsumeIntegralInRange(0, 10));
}

// One key=value line of an item section.
std::string itemLine(FuzzedDataProvider& input, std::vector<std::string>& names) {
    switch (input.ConsumeIntegralInRange(0, 8)) {
        case 0: {
            std::string name = input.ConsumeRandomLengthString(30);
            names.push_back(name.substr(0, name.find(' ')));
            return "Name=" + name;
        }
        case 1:
            return "Description=" + input.ConsumeRandomLengthString(220);
        case 2:
            return "Value=" + randomNumberText(input);
        case 3:
            return numberedKey(input, "PrivAction") + "=" + actionText(input);
        case 4:
            return numberedKey(input, "PubAction") + "=" + actionText(input);
        case 5:
            return numberedKey(input, "SpecialAction") + "=" +
                   (input.ConsumeBool() ? std::to_string(input.ConsumeIntegralInRange(-2, 27)) : randomNumberText(input));
        case 6:
            return "SpecialPoints=" + randomNumberText(input);
        case 7:
            return input.ConsumeRandomLengthString(16) + "=" + input.ConsumeRandomLengthString(16);
        default:
            return input.ConsumeRandomLengthString(40);
    }
}

std::string builtBuyIni(FuzzedDataProvider& input, std::vector<std::string>& names) {
    std::string text;
    const int sections = input.ConsumeIntegralInRange(0, 8);
    for (int s = 0; s < sections; ++s) {
        const int number = input.ConsumeBool() ? input.ConsumeIntegralInRange(0, 9) : input.ConsumeIntegralInRange(0, 300);
        text += "[Item" + std::to_string(number) + "]\n";
        std::string name = input.ConsumeRandomLengthString(30);
        if (!name.empty()) {
            text += "Name=" + name + "\n";
            names.push_back(name.substr(0, name.find(' ')));
        }
        const int lines = input.ConsumeIntegralInRange(0, 12);
        for (int l = 0; l < lines; ++l) text += itemLine(input, names) + "\n";
    }
    return text;
}

std::string builtCreditsIni(FuzzedDataProvider& input) {
    std::string text = "[Credits]\n";
    const int lines = input.ConsumeIntegralInRange(0, 16);
    for (int l = 0; l < lines; ++l) {
        std::string key = input.PickValueInArray(rewardKeys);
        if (key == "Prize") key += std::to_string(input.ConsumeIntegralInRange(-30, 30));
        text += key + "=" + randomNumberText(input) + "\n";
    }
    return text;
}

std::vector<std::string> listCatalogue(Host& host, const PlayerRecord& player) {
    host.clearRequests();
    host.command(bot, player, "buy", "");
    return host.texts();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    enterScratchFolder(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ScratchScope scratch;
    FuzzedDataProvider input(data, size);
    removeFilesExcept({});
    std::vector<std::string> itemNames;
    if (input.ConsumeBool()) {
        writeFile("buy.ini", builtBuyIni(input, itemNames));
        writeFile("credits.ini", builtCreditsIni(input));
    } else {
        writeFile("buy.ini", input.ConsumeRandomLengthString(4096));
        writeFile("credits.ini", input.ConsumeRandomLengthString(2048));
    }
    writeFile("Quorlen.bank", fixtureBank());

    Host host;
    Arena arena(host);
    arena.populate(input, fixtureNames(), 5, 4);
    host.init(bot);
    PlayerRecord& lister = arena.pick(input);
    const std::vector<std::string> listing = listCatalogue(host, lister);

    for (int i = 0; i < maxSteps && input.remaining_bytes() != 0; ++i) {
        PlayerRecord& player = arena.pick(input);
        switch (input.ConsumeIntegralInRange(0, 7)) {
            case 0:
                host.death(bot, player, arena.pick(input));
                break;
            case 1:
                host.prize(bot, player, input.ConsumeIntegralInRange(-28, 28));
                break;
            case 2:
                host.flagVictory(bot, input.ConsumeIntegralInRange<uint32_t>(0, 3));
                break;
            case 3:
                host.soccerGoal(bot, input.ConsumeIntegral<uint32_t>());
                break;
            case 4:
                host.command(bot, player, "buy", "");
                break;
            default: {
                std::string word = !itemNames.empty() && input.ConsumeBool()
                                       ? itemNames[input.ConsumeIntegralInRange<size_t>(0, itemNames.size() - 1)]
                                       : input.ConsumeRandomLengthString(24);
                if (input.ConsumeBool()) word += " " + input.ConsumeRandomLengthString(48);
                host.command(bot, player, "buy", word);
                break;
            }
        }
    }
    // A second init event reloads the same files: the catalogue must come out
    // the same, without duplicates.
    host.init(bot);
    if (listCatalogue(host, lister) != listing) fail("a reload changed the catalogue");
    host.term(bot);
    return 0;
}
