// Counts the blocks and bytes that are live through the global operator new,
// and can make one chosen allocation fail as if memory had run out. The
// program that links allocation_counter.cpp replaces operator new and delete
// for the whole process; the loaded plug-in binds to them too (ELF symbol
// interposition), so its instances, accounts and shop items are counted.
#pragma once

#include <cstddef>

namespace kadrel::testing {

struct LiveAllocations {
    long blocks = 0;
    long bytes = 0;
};

LiveAllocations liveAllocations();

// The allocation after `granted` more succeed fails: operator new throws
// std::bad_alloc, the nothrow forms return null. Later ones succeed again.
void failAllocationAfter(long granted);

// Cancels a failure not yet reached; true when one was armed and happened.
bool stopFailingAllocations();

}  // namespace kadrel::testing
