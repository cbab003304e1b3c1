#include "bench_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Every allocation carries its size in front, so that frees can be counted.
std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};
constexpr size_t header = alignof(std::max_align_t);

void* counted(size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + header));
    if (block == nullptr) throw std::bad_alloc();
    std::memcpy(block, &size, sizeof size);
    const size_t now = liveBytes += size;
    if (now > peakBytes) peakBytes = now;
    return block + header;
}

void release(void* pointer) {
    if (pointer == nullptr) return;
    auto* block = static_cast<unsigned char*>(pointer) - header;
    size_t size;
    std::memcpy(&size, block, sizeof size);
    liveBytes -= size;
    std::free(block);
}

}  // namespace

void* operator new(size_t size) { return counted(size); }
void* operator new[](size_t size) { return counted(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, size_t) noexcept { release(pointer); }

namespace kadrel::bench {

std::string accountName(size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "Pilot%u", static_cast<unsigned>(index));
    return name;
}

std::unique_ptr<BotInstance> botWithLedger(size_t count) {
    auto bot = std::make_unique<BotInstance>(1);
    for (size_t i = 0; i < count; ++i) bot->awardCredits(static_cast<int32_t>(i % 1000), accountName(i).c_str(), {});
    return bot;
}

Arena::Arena(size_t count, size_t ledgerSize) : records(count), nodes(count) {
    for (size_t i = 0; i < count; ++i) {
        HostPlayer& player = records[i];
        std::memset(&player, 0, sizeof player);
        const std::string name = accountName((2 * i + 1) * ledgerSize / (2 * count));
        std::strncpy(player.name, name.c_str(), sizeof player.name - 1);
        player.team = static_cast<uint16_t>(i % 2);
        nodes[i] = HostListNode{&player, i + 1 < count ? &nodes[i + 1] : nullptr};
    }
    header.head = count != 0 ? &nodes[0] : nullptr;
    header.count = static_cast<uint32_t>(count);
}

ScratchDirectory::ScratchDirectory() : previous(std::filesystem::current_path()) {
    directory = std::filesystem::temp_directory_path() / ("kadrel-bench-" + std::to_string(std::rand()));
    std::filesystem::create_directories(directory);
    std::filesystem::current_path(directory);
}

ScratchDirectory::~ScratchDirectory() {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(directory);
}

size_t heapBytes() { return liveBytes.load(); }

size_t peakHeapBytes() { return peakBytes.load(); }

void resetPeakHeapBytes() { peakBytes = liveBytes.load(); }

}  // namespace kadrel::bench
