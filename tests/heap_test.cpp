#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "core/heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ddinfer::test {
namespace {

#if defined(__GLIBC__)
void* volatile sink;

// Bytes the library maps from the system for a block of `bytes` (0: the
// block came from the kept heap).
std::size_t mapped_for(std::size_t bytes) {
    const std::size_t before = mallinfo2().hblkhd;
    sink = std::malloc(bytes);
    const std::size_t after = mallinfo2().hblkhd;
    std::free(sink);
    return after - before;
}

// The library maps a block only when its heap has no free room for it, so
// each block that should be mapped is larger than any the heap has held.
// After keep_freed_memory a 8 MiB block comes from the heap; while a guard
// lives (the outer of two nested ones included) blocks of 12 and 16 MiB
// are mapped from the system and one of 3 MiB is not; after the last guard,
// one of 20 MiB comes from the heap again.
TEST(HeapTest, LargeBlocksGoToTheSystemOnlyWhileAGuardLives) {
    constexpr std::size_t mib = 1 << 20;
    keep_freed_memory();
    EXPECT_EQ(mapped_for(8 * mib), 0u);
    {
        const LargeBlocksToSystem outer;
        EXPECT_GE(mapped_for(12 * mib), 12 * mib);
        { const LargeBlocksToSystem inner; }
        EXPECT_GE(mapped_for(16 * mib), 16 * mib);
        EXPECT_EQ(mapped_for(3 * mib), 0u);
    }
    EXPECT_EQ(mapped_for(20 * mib), 0u);
}

double resident_mib() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// Frees `mib` blocks of 1 MiB, each written (so resident), back into the
// kept heap, then returns what return_freed_memory gave back to the system
// (MiB resident before less after).
double returned_after_freeing(int mib) {
    std::vector<char*> blocks;
    for (int i = 0; i < mib; ++i) {
        blocks.push_back(static_cast<char*>(std::malloc(1 << 20)));
        std::memset(blocks.back(), 1, 1 << 20);
    }
    for (char* block : blocks) std::free(block);
    const double before = resident_mib();
    return_freed_memory();
    return before - resident_mib();
}

// 100 MiB lying free are kept for the next run; 300 go back.
TEST(HeapTest, FreedMemoryGoesBackOnlyPastAQuarterGiB) {
    keep_freed_memory();
    EXPECT_LT(returned_after_freeing(100), 10);
    EXPECT_GT(returned_after_freeing(300), 250);
}
#endif

}  // namespace
}  // namespace ddinfer::test
