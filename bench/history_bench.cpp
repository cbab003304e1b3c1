// The history's costs, each next to the plain work it must be compared with,
// measured in the same run: a checkpoint that files 100,000 records at
// 1,000,000 accounts against a durable write of the bank and those records;
// `kadrel bank history NAME` and `kadrel bank rollback --to TIME` over
// 10,000,000 records against one plain read of the files, with the program's
// peak memory; `kadrel report` over the same records, with its page's size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <vector>

#include "accounts/history_file.h"
#include "bench_support.h"

extern char** environ;

namespace kadrel::bench {
namespace {

constexpr size_t bankAccounts = 1000000;
constexpr size_t historyRecords = 10000000;
constexpr int64_t firstTime = 1796083200;  // 2026-12-01T00:00:00Z, a second a record

// A history of one month, each record one player's award of 1, over every
// account of the bank, its times a second apart.
void writeHistory() {
    const int file = open(KADREL_BANK_HISTORY ".2026-12", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    HistoryHeader header{};
    std::memcpy(header.magic, historyMagic, sizeof historyMagic);
    benchmark::DoNotOptimize(write(file, &header, sizeof header));
    std::vector<JournalRecord> batch(100000);
    for (size_t at = 0; at < historyRecords; at += batch.size()) {
        for (size_t i = 0; i < batch.size(); ++i) {
            const size_t n = at + i;
            JournalRecord& record = batch[i];
            record = makeJournalRecord(JournalKind::Add, 1, accountName(n % bankAccounts).c_str(),
                                       {JournalCause::Prize, "", 1}, static_cast<int32_t>(n / bankAccounts),
                                       static_cast<int32_t>(n / bankAccounts + 1));
            record.flags = endsTransaction;
            record.time = firstTime + static_cast<int64_t>(n);
            sealJournalRecord(record, n + 1);
        }
        benchmark::DoNotOptimize(write(file, batch.data(), batch.size() * sizeof(JournalRecord)));
    }
    close(file);
}

// Reads the files whole, a megabyte at a time: the least any reader pays.
void readPlainly(const std::vector<const char*>& names) {
    std::vector<char> buffer(1 << 20);
    for (const char* name : names) {
        const int file = open(name, O_RDONLY);
        while (read(file, buffer.data(), buffer.size()) > 0) {
        }
        close(file);
    }
}

// Runs the kadrel program; its wall time in seconds and peak memory in bytes.
std::pair<double, double> runKadrel(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), KADREL_PROGRAM);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    posix_spawn(&child, KADREL_PROGRAM, &actions, nullptr, argv.data(), environ);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&actions);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, static_cast<double>(usage.ru_maxrss) * 1024};
}

void CheckpointFiling100000Records(benchmark::State& state) {
    ScratchDirectory scratch;
    auto bot = botWithLedger(bankAccounts);
    bot->saveBank();
    bot->loadBank();
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < 100000; ++i) bot->awardCredits(1, accountName(i * 7).c_str(), {});
        state.ResumeTiming();
        bot->saveBank();
    }
}

// The bank and 100,000 records written and brought to the disk.
void DurableBankAndRecordsReference(benchmark::State& state) {
    ScratchDirectory scratch;
    const std::vector<char> bank(bankAccounts * sizeof(CreditAccount), 'b');
    const std::vector<char> records(100000 * sizeof(JournalRecord), 'r');
    for (auto _ : state) {
        for (const auto& [name, bytes] : {std::pair{"bank", &bank}, std::pair{"records", &records}}) {
            const int file = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            benchmark::DoNotOptimize(write(file, bytes->data(), bytes->size()));
            fsync(file);
            close(file);
        }
    }
}

// The bank of 1,000,000 accounts and a history of 10,000,000 records, made
// by a child so that this process stays small: the peak memory of a program
// it starts counts from this process's size at the start.
void makeBankAndHistory() {
    const pid_t maker = fork();
    if (maker == 0) {
        botWithLedger(bankAccounts)->saveBank();
        writeHistory();
        _exit(0);
    }
    waitpid(maker, nullptr, 0);
}

// Seconds for a plain read of the history alone, and of the bank with it.
std::pair<double, double> plainReads() {
    auto start = std::chrono::steady_clock::now();
    readPlainly({KADREL_BANK_HISTORY ".2026-12"});
    const double history = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    start = std::chrono::steady_clock::now();
    readPlainly({KADREL_BANK_FILE, KADREL_BANK_HISTORY ".2026-12"});
    return {history, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

// Each run of the programs below is repeated this many times and its median
// reported: a single run swings twofold on a busy machine.
constexpr int repeats = 5;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Medians of each measure over `repeats` runs of `measure`, which adds one
// value to each list.
template <size_t count, class Measure>
std::array<double, count> medians(Measure measure) {
    std::array<std::vector<double>, count> runs;
    for (int run = 0; run < repeats; ++run) measure(runs);
    std::array<double, count> result;
    for (size_t i = 0; i < count; ++i) result[i] = median(runs[i]);
    return result;
}

// One player's history over 10,000,000 records, and a rollback to halfway,
// each against a plain read of what it reads.
void HistoryAndRollbackOver10000000Records(benchmark::State& state) {
    ScratchDirectory scratch;
    makeBankAndHistory();
    const double baseline = runKadrel({"--help"}).second;
    double history = 0, historyMemory = 0, rollback = 0, rollbackMemory = 0, plainHistory = 0, plainBoth = 0;
    for (auto _ : state) {
        std::tie(plainHistory, plainBoth, history, historyMemory, rollback, rollbackMemory) =
            std::tuple_cat(medians<6>([&](auto& runs) {
                const auto [plainOne, plainTwo] = plainReads();
                const auto [historySeconds, historyPeak] = runKadrel({"bank", "history", accountName(500000)});
                const auto [rollbackSeconds, rollbackPeak] =
                    runKadrel({"bank", "rollback", "--to", "2026-12-01T00:00:00Z"});
                for (size_t i = 0; const double value :
                                   {plainOne, plainTwo, historySeconds, historyPeak, rollbackSeconds, rollbackPeak}) {
                    runs[i++].push_back(value);
                }
            }));
    }
    const double bankBytes = static_cast<double>(bankAccounts * sizeof(CreditAccount));
    state.counters["history_s"] = history;
    state.counters["history_per_plain_read"] = history / plainHistory;
    state.counters["history_peak_MB"] = historyMemory / 1e6;
    state.counters["help_peak_MB"] = baseline / 1e6;
    state.counters["rollback_s"] = rollback;
    state.counters["rollback_per_plain_read"] = rollback / plainBoth;
    state.counters["rollback_peak_per_bank_byte"] = rollbackMemory / bankBytes;
}

// The economy's page over 10,000,000 records and 1,000,000 accounts, against
// a plain read of the history alone and of the bank with it.
void ReportOver10000000Records(benchmark::State& state) {
    ScratchDirectory scratch;
    makeBankAndHistory();
    double report = 0, reportMemory = 0, plainHistory = 0, plainBoth = 0;
    for (auto _ : state) {
        std::tie(plainHistory, plainBoth, report, reportMemory) = std::tuple_cat(medians<4>([&](auto& runs) {
            const auto [plainOne, plainTwo] = plainReads();
            const auto [seconds, peak] = runKadrel({"report", "-o", "economy.html"});
            for (size_t i = 0; const double value : {plainOne, plainTwo, seconds, peak}) runs[i++].push_back(value);
        }));
    }
    state.counters["report_s"] = report;
    state.counters["report_per_plain_history_read"] = report / plainHistory;
    state.counters["report_per_plain_read_of_both"] = report / plainBoth;
    state.counters["report_peak_MB"] = reportMemory / 1e6;
    state.counters["page_MB"] = static_cast<double>(std::filesystem::file_size("economy.html")) / 1e6;
}

BENCHMARK(CheckpointFiling100000Records)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(DurableBankAndRecordsReference)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(HistoryAndRollbackOver10000000Records)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(ReportOver10000000Records)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace kadrel::bench
