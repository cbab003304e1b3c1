// What the benchmarks share: bots with large ledgers, an arena of host player
// records, a scratch directory for the bank file, and a count of heap bytes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/bot_instance.h"

namespace kadrel::bench {

std::string accountName(size_t index);

// A bot whose ledger holds `count` accounts, opened in order by awards.
std::unique_ptr<BotInstance> botWithLedger(size_t count);

// `count` host player records named after accounts spread evenly over a
// ledger of `ledgerSize`, on teams 0 and 1, linked as the host's list.
class Arena {
public:
    Arena(size_t count, size_t ledgerSize);
    const HostList* list() const { return &header; }
    const std::vector<HostPlayer>& players() const { return records; }

private:
    std::vector<HostPlayer> records;
    std::vector<HostListNode> nodes;
    HostList header{};
};

// The current directory for the benchmark's files, removed at the end.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();

private:
    std::filesystem::path previous;
    std::filesystem::path directory;
};

// Bytes the program holds on the heap right now, as requested from operator
// new (the allocator's own bookkeeping not included).
size_t heapBytes();

// The most bytes held at once since the last reset.
size_t peakHeapBytes();
void resetPeakHeapBytes();

}  // namespace kadrel::bench
