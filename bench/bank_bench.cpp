// Loading and saving a bank of 1,000,000 accounts (24 MB), next to reading or
// writing the same bytes with one plain call.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "platform/platform.h"

namespace kadrel::bench {
namespace {

constexpr size_t bankAccounts = 1000000;
constexpr const char* bankFile = "Quorlen.bank";

void writeBank(const BotInstance& bot) {
    std::vector<CreditAccount> records;
    for (const CreditAccount& account : bot.accounts) records.push_back(account);
    std::FILE* file = std::fopen(bankFile, "wb");
    std::fwrite(records.data(), sizeof(CreditAccount), records.size(), file);
    std::fclose(file);
}

void LoadBank(benchmark::State& state) {
    ScratchDirectory scratch;
    writeBank(*botWithLedger(bankAccounts));
    BotInstance bot(1);
    for (auto _ : state) bot.loadBank();
    if (bot.accounts.size() != bankAccounts) state.SkipWithError("the bank did not load");
}

void ReadBytesReference(benchmark::State& state) {
    ScratchDirectory scratch;
    writeBank(*botWithLedger(bankAccounts));
    for (auto _ : state) {
        std::vector<CreditAccount> records(bankAccounts);
        std::FILE* file = std::fopen(bankFile, "rb");
        if (std::fread(records.data(), sizeof(CreditAccount), bankAccounts, file) != bankAccounts) {
            state.SkipWithError("short read");
        }
        std::fclose(file);
        benchmark::DoNotOptimize(records.data());
    }
}

// One bot alone: a checkpoint of the whole ledger.
void SaveBank(benchmark::State& state) {
    ScratchDirectory scratch;
    auto bot = botWithLedger(bankAccounts);
    bot->saveBank();
    int32_t round = 0;
    for (auto _ : state) {
        bot->awardCredits(++round, "Pilot500000", {});
        bot->saveBank();
    }
}

void WriteBytesReference(benchmark::State& state) {
    ScratchDirectory scratch;
    std::vector<CreditAccount> records(bankAccounts);
    for (auto _ : state) {
        std::FILE* file = std::fopen(bankFile, "wb");
        std::fwrite(records.data(), sizeof(CreditAccount), bankAccounts, file);
        std::fclose(file);
    }
}

// The same bytes put in place the durable way a save does: temporary file,
// flush to the disk, rename.
void ReplaceFileReference(benchmark::State& state) {
    ScratchDirectory scratch;
    std::vector<CreditAccount> records(bankAccounts);
    for (auto _ : state) platform::replaceFile(bankFile, records.data(), records.size() * sizeof(CreditAccount));
}

BENCHMARK(LoadBank)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBytesReference)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveBank)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WriteBytesReference)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReplaceFileReference)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kadrel::bench
