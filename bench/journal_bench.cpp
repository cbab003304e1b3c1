// The journal's costs at 1,000,000 accounts, each next to the plain system
// call it must be compared with, measured in the same run: an award (in a
// folder of its own and in one shared with other machines) and a donation
// against one bare write of a record, a flag victory paying 256
// players, and a load with 100,000 journal records not yet folded.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "bench_support.h"

namespace kadrel::bench {
namespace {

constexpr size_t bankAccounts = 1000000;

// A bot attached to a bank of a million accounts, with an empty journal.
std::unique_ptr<BotInstance> attachedBot() {
    auto bot = botWithLedger(bankAccounts);
    bot->saveBank();
    bot->loadBank();
    return bot;
}

void AwardWithJournal(benchmark::State& state) {
    ScratchDirectory scratch;
    auto bot = attachedBot();
    for (auto _ : state) bot->awardCredits(1, "Pilot500000", {});
}

// What kadrel sync writes into a folder it shares: the folder's share and a
// live lease for each of the first `players` accounts.
void shareFolder(size_t players) {
    struct Quiet final : BankReporter {
        void report(const char*) override {}
    } quiet;
    Ledger ledger;
    BankJournal journal(ledger, quiet, 99);
    journal.load();
    const int64_t now = platform::nowSeconds();
    {
        const BankJournal::Hold hold(journal);
        journal.reserve(players + 1);
        journal.note(makeSharedRecord(1, now));
        for (size_t i = 0; i < players; ++i) journal.note(makeLeaseRecord(accountName(i).c_str(), now + 3600, now));
    }
    journal.close();
}

// The same award in a folder shared with other machines, with 1,000 leases
// held: an award needs no lease, and must cost what it costs in a folder of
// its own.
void AwardInSharedFolder(benchmark::State& state) {
    ScratchDirectory scratch;
    auto bot = attachedBot();
    shareFolder(1000);
    bot->awardCredits(1, "Pilot500000", {});
    if (!bot->bankShared()) state.SkipWithError("the bot does not see the share");
    for (auto _ : state) bot->awardCredits(1, "Pilot500000", {});
}

// What one journal record costs the operating system at the least.
void BareWriteReference(benchmark::State& state) {
    ScratchDirectory scratch;
    const int file = open("bare", O_WRONLY | O_CREAT | O_APPEND, 0644);
    char record[sizeof(JournalRecord)] = {};
    for (auto _ : state) benchmark::DoNotOptimize(write(file, record, sizeof record));
    close(file);
}

void DonationWithJournal(benchmark::State& state) {
    ScratchDirectory scratch;
    auto bot = attachedBot();
    const HostPlayer sender = [] {
        HostPlayer player{};
        std::strncpy(player.name, "Pilot999", sizeof player.name - 1);
        return player;
    }();
    bot->awardCredits(1000000000, "Pilot999", {});
    ChatCommand command{};
    command.commandName = "donate";
    command.parameterText = "Pilot500000:1";
    for (auto _ : state) bot->donateCredits(sender, command);
}

void FlagVictory256WithJournal(benchmark::State& state) {
    ScratchDirectory scratch;
    auto bot = attachedBot();
    const Arena arena(256, bankAccounts);
    bot->playerList = arena.list();
    bot->rewards.flagVictoryTeam = 10;
    bot->rewards.flagVictoryEnemy = 1;
    for (auto _ : state) bot->rewardFlagVictory(1);
    state.counters["players"] = 256;
}

void CheckpointWithJournal(benchmark::State& state) {
    ScratchDirectory scratch;
    auto bot = attachedBot();
    for (auto _ : state) {
        bot->awardCredits(1, "Pilot500000", {});
        bot->saveBank();
    }
}

void LoadWith100000JournalRecords(benchmark::State& state) {
    ScratchDirectory scratch;
    auto writer = attachedBot();
    for (int i = 0; i < 100000; ++i) writer->awardCredits(1, accountName(static_cast<size_t>(i) * 7).c_str(), {});
    BotInstance bot(2);
    for (auto _ : state) bot.loadBank();
    if (bot.accounts.size() != bankAccounts) state.SkipWithError("the bank did not load");
}

// The most heap a load and a checkpoint hold at once, over the bank's size.
void PeakMemory(benchmark::State& state) {
    double load = 0;
    double checkpoint = 0;
    for (auto _ : state) {
        ScratchDirectory scratch;
        attachedBot();
        const double fileBytes = static_cast<double>(bankAccounts * sizeof(CreditAccount));
        {
            BotInstance bot(2);
            const size_t before = heapBytes();
            resetPeakHeapBytes();
            bot.loadBank();
            load = static_cast<double>(peakHeapBytes() - before) / fileBytes;
            bot.awardCredits(1, "Pilot7", {});
            resetPeakHeapBytes();
            bot.saveBank();
            checkpoint = static_cast<double>(peakHeapBytes() - before) / fileBytes;
        }
    }
    state.counters["load_peak_per_bank_byte"] = load;
    state.counters["checkpoint_peak_per_bank_byte"] = checkpoint;
}

BENCHMARK(AwardWithJournal)->UseRealTime();
BENCHMARK(AwardInSharedFolder)->UseRealTime();
BENCHMARK(DonationWithJournal)->UseRealTime();
BENCHMARK(BareWriteReference)->UseRealTime();
BENCHMARK(FlagVictory256WithJournal)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(CheckpointWithJournal)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LoadWith100000JournalRecords)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kadrel::bench
