// Random bank file bytes, loaded by an init event, changed by game events and
// saved by ticks and the term event. The model ledger follows the same awards;
// the saved file must equal the model's, so every record that nothing changed
// comes back byte for byte, the bytes after a name's terminator included, and
// a name without its terminator is cut to 19 characters.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_host.h"

using namespace kadrel::fuzzing;

namespace {

constexpr uint32_t bot = 5;
constexpr int maxSteps = 40;
constexpr size_t maxBankRecords = 64;

// The rewards of fuzz/fixtures/credits.ini.
struct Rewards {
    int32_t kill = 10, teamKill = -25, killed = -3, teamKilled = 0;
    int32_t flagVictoryTeam = 500, flagVictoryEnemy = -1;
    int32_t soccerGoalTeam = 2147483647, soccerGoalEnemy = -2147483647 - 1;
    int32_t prize(int32_t type) const {
        switch (type) {
            case -28:
                return -7;
            case 0:
                return 100;
            case 28:
                return 0;
            default:
                return 2;
        }
    }
};
const Rewards rewards;

std::vector<std::string> namesIn(const std::string& bank) {
    std::vector<std::string> names;
    for (size_t offset = 0; offset + bankRecordSize <= bank.size(); offset += bankRecordSize) {
        names.push_back(accountName(std::string_view(bank).substr(offset, nameFieldSize)));
    }
    return names;
}

std::string playerAccount(const PlayerRecord& player) { return accountName(player.nameText()); }

// The host contract's offset of a player's team.
constexpr size_t teamOffset = 216;

uint16_t teamOf(const PlayerRecord& player) {
    uint16_t team;
    std::memcpy(&team, static_cast<const uint8_t*>(player.record()) + teamOffset, sizeof team);
    return team;
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
    auto award = [&model](int32_t amount, const std::string& name) { model.award(amount, name); };

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
                const bool sameTeam = teamOf(died) == teamOf(killer);
                award(sameTeam ? rewards.teamKill : rewards.kill, playerAccount(killer));
                award(sameTeam ? rewards.teamKilled : rewards.killed, playerAccount(died));
                break;
            }
            case 1: {
                const PlayerRecord& player = arena.pick(input);
                const int32_t type = input.ConsumeIntegralInRange(-28, 28);
                host.prize(bot, player, type);
                award(rewards.prize(type), playerAccount(player));
                break;
            }
            case 2:
            case 3: {
                const bool flag = input.ConsumeBool();
                const uint32_t team = input.ConsumeBool() ? input.ConsumeIntegralInRange<uint32_t>(0, 3)
                                                          : input.ConsumeIntegral<uint32_t>();
                flag ? host.flagVictory(bot, team) : host.soccerGoal(bot, team);
                for (const PlayerRecord* player : arena.listed()) {
                    const bool winner = teamOf(*player) == team;
                    const int32_t amount = flag ? (winner ? rewards.flagVictoryTeam : rewards.flagVictoryEnemy)
                                                : (winner ? rewards.soccerGoalTeam : rewards.soccerGoalEnemy);
                    award(amount, playerAccount(*player));
                }
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
