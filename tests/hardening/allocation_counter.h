// Counts the blocks and bytes that are live through the global operator new.
// The program that links allocation_counter.cpp replaces operator new and
// delete for the whole process; the loaded plug-in binds to them too (ELF
// symbol interposition), so its instances, accounts and shop items are
// counted.
#pragma once

#include <cstddef>

namespace kadrel::testing {

struct LiveAllocations {
    long blocks = 0;
    long bytes = 0;
};

LiveAllocations liveAllocations();

}  // namespace kadrel::testing
