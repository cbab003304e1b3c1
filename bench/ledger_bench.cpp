// A flag victory paying 256 players over ledgers of growing size: the indexed
// ledger next to the walk from the head that every look-up used to make.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "core/arithmetic.h"
#include "core/chain_list.h"
#include "core/text.h"
#include "host/player_fields.h"

namespace kadrel::bench {
namespace {

constexpr size_t arenaSize = 256;

void FlagVictoryIndexed(benchmark::State& state) {
    const size_t ledgerSize = static_cast<size_t>(state.range(0));
    auto bot = botWithLedger(ledgerSize);
    const Arena arena(arenaSize, ledgerSize);
    bot->playerList = arena.list();
    bot->rewards.flagVictoryTeam = 3;
    bot->rewards.flagVictoryEnemy = -1;
    for (auto _ : state) bot->rewardFlagVictory(1);
    if (bot->accounts.size() != ledgerSize) state.SkipWithError("the arena opened accounts");
    state.counters["accounts"] = static_cast<double>(ledgerSize);
}

// The reference: the same payments through a linked list of accounts, each
// look-up a walk from the head comparing names with capitals folded.
void FlagVictoryLinearWalk(benchmark::State& state) {
    const size_t ledgerSize = static_cast<size_t>(state.range(0));
    ChainList<CreditAccount> ledger;
    for (size_t i = 0; i < ledgerSize; ++i) {
        auto* account = new CreditAccount{};
        const std::string name = accountName(i);
        std::memcpy(account->name, name.c_str(), name.size());
        account->credits = static_cast<int32_t>(i % 1000);
        ledger.append(account);
    }
    const Arena arena(arenaSize, ledgerSize);
    for (auto _ : state) {
        for (const HostPlayer& player : HostListView<HostPlayer>(arena.list())) {
            const CharString name = playerName(player);
            for (CreditAccount& account : ledger) {
                if (equalsNoCase(account.name, name.text())) {
                    account.credits = saturatingAdd(account.credits, player.team == 1 ? 3 : -1);
                    break;
                }
            }
        }
        benchmark::ClobberMemory();
    }
    state.counters["accounts"] = static_cast<double>(ledgerSize);
}

BENCHMARK(FlagVictoryIndexed)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(FlagVictoryLinearWalk)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kadrel::bench
