#include <gtest/gtest.h>

#include <cstdlib>

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
#endif

}  // namespace
}  // namespace ddinfer::test
