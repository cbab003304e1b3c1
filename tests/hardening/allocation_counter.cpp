#include "allocation_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace kadrel::testing {

namespace {

std::atomic<long> blocks{0};
std::atomic<long> bytes{0};
// Allocations still granted before the one that fails; negative when none is
// to fail.
std::atomic<long> grantedBeforeFailure{-1};
std::atomic<bool> failed{false};

bool failThisAllocation() {
    long granted = grantedBeforeFailure.load(std::memory_order_relaxed);
    while (granted >= 0) {
        if (grantedBeforeFailure.compare_exchange_weak(granted, granted - 1, std::memory_order_relaxed)) {
            if (granted != 0) return false;
            failed.store(true, std::memory_order_relaxed);
            return true;
        }
    }
    return false;
}

void* allocate(std::size_t size) {
    if (failThisAllocation()) return nullptr;
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) return nullptr;
    blocks.fetch_add(1, std::memory_order_relaxed);
    bytes.fetch_add(static_cast<long>(malloc_usable_size(block)), std::memory_order_relaxed);
    return block;
}

void release(void* block) noexcept {
    if (block == nullptr) return;
    blocks.fetch_sub(1, std::memory_order_relaxed);
    bytes.fetch_sub(static_cast<long>(malloc_usable_size(block)), std::memory_order_relaxed);
    std::free(block);
}

void* allocateOrThrow(std::size_t size) {
    void* block = allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

LiveAllocations liveAllocations() { return {blocks.load(), bytes.load()}; }

void failAllocationAfter(long granted) {
    failed.store(false);
    grantedBeforeFailure.store(granted);
}

bool stopFailingAllocations() {
    grantedBeforeFailure.store(-1);
    return failed.exchange(false);
}

}  // namespace kadrel::testing

using kadrel::testing::allocate;
using kadrel::testing::allocateOrThrow;
using kadrel::testing::release;

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
