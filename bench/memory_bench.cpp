// Heap bytes per account, index included, counted
// by the program's own operator new; next to the linked list of separately
// allocated accounts that the ledger used to be.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "core/chain_list.h"

namespace kadrel::bench {
namespace {

void MemoryPerAccount(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    double perAccount = 0;
    double perLoadedAccount = 0;
    for (auto _ : state) {
        const size_t before = heapBytes();
        auto bot = botWithLedger(count);  // opened by awards, then saved
        {
            ScratchDirectory scratch;
            bot->saveBank();
            const size_t afterSave = heapBytes();
            perAccount = static_cast<double>(afterSave - before) / static_cast<double>(count);
            bot->loadBank();
            perLoadedAccount = static_cast<double>(heapBytes() - before) / static_cast<double>(count);
        }
    }
    state.counters["bytes_per_account"] = perAccount;
    state.counters["bytes_per_loaded_account"] = perLoadedAccount;
}

void MemoryPerAccountLinkedList(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    double perAccount = 0;
    for (auto _ : state) {
        const size_t before = heapBytes();
        ChainList<CreditAccount> ledger;
        for (size_t i = 0; i < count; ++i) ledger.append(new CreditAccount{});
        perAccount = static_cast<double>(heapBytes() - before) / static_cast<double>(count);
    }
    state.counters["bytes_per_account"] = perAccount;
}

BENCHMARK(MemoryPerAccount)->Arg(1000)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(MemoryPerAccountLinkedList)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kadrel::bench
