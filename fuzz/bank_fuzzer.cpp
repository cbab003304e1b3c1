// Random bank file bytes, loaded by an init event, changed by game events and
// saved by ticks and the term event. The model ledger follows the same awards;
// the saved file must equal the model's, so every record that nothing changed
// comes back byte for byte, the bytes after a name's terminator included, and
// a name without its terminator is cut to 19 characters.
#include <string>
#include <vector>

#include "fuzz_host.h"
#include "reward_model.h"

using namespace kadrel::fuzzing;

namespace {

constexpr uint32_t bot = 5;
constexpr int maxSteps = 40;
constexpr size_t maxBankRecords = 64;

// The rewards of fuzz/fixtures/credits.ini: its Prize28 is no number and pays
// nothing, its empty Prize5 leaves that type at AnyPrize.
const kadrel::testing::RewardModel rewards{10, -25, -3, 0, 500, -1, 2147483647, -2147483647 - 1, 2,
                                           {{-28, -7}, {0, 100}, {28, 0}}};

std::vector<std::string> namesIn(const std::string& bank) {
    std::vector<std::string> names;
    for (const auto& record : kadrel::testing::parseBank(bank)) names.push_back(accountName(record.name));
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // No buy.ini: the shop plays no part here, and an empty catalogue loads
    // fastest.
    enterScratchFolderWithFixtures(argc, argv, {"credits.ini"});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ScratchScope scratch;
    FuzzedDataProvider input(data, size);
    removeFilesExcept({"credits.ini"});
    const std::string bank =
        input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(0, maxBankRecords * bankRecordSize + 23));
    writeFile("Quorlen.bank", bank);
    // A file of a cut record loads no account.
    const bool damaged = bank.size() % bankRecordSize != 0;
    BankModel model(damaged ? "" : bank);

    Host host;
    Arena arena(host);
    arena.populate(input, namesIn(bank), 6, 0);
    host.init(bot);

    for (int i = 0; i < maxSteps && input.remaining_bytes() != 0; ++i) {
        switch (input.ConsumeIntegralInRange(0, 5)) {
            case 0: {
                const PlayerRecord& died = arena.pick(input);
                const PlayerRecord& killer = arena.pick(input);
                host.death(bot, died, killer);
                rewards.death(model, died, killer);
                break;
            }
            case 1: {
                const PlayerRecord& player = arena.pick(input);
                const int32_t type = input.ConsumeIntegralInRange(-28, 28);
                host.prize(bot, player, type);
                rewards.prize(model, player, type);
                break;
            }
            case 2:
            case 3: {
                const bool flag = input.ConsumeBool();
                const uint32_t team = input.ConsumeBool() ? input.ConsumeIntegralInRange<uint32_t>(0, 3)
                                                          : input.ConsumeIntegral<uint32_t>();
                flag ? host.flagVictory(bot, team) : host.soccerGoal(bot, team);
                for (const PlayerRecord* player : arena.listed()) rewards.teamWin(model, flag, team, *player);
                break;
            }
            default: {
                const int ticks = input.ConsumeIntegralInRange(1, 400);
                for (int t = 0; t < ticks; ++t) host.tick(bot);
                break;
            }
        }
    }
    host.term(bot);

    const std::string saved = readFile("Quorlen.bank");
    // A damaged file is held back, or set aside and the accounts opened since written.
    if (saved == model.bytes() || (damaged && saved == bank)) return 0;
    fail("the saved bank differs from the ledger's model",
         std::to_string(saved.size()) + " bytes saved, " + std::to_string(model.bytes().size()) + " expected");
}
