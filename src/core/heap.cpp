#include "core/heap.h"

#include <cstddef>
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ddinfer {
namespace {

constexpr int kept_threshold = 32 << 20;  // the largest the library allows on 64 bits
constexpr int solve_threshold = 4 << 20;
constexpr std::size_t kept_free = std::size_t{256} << 20;

std::mutex threshold_mutex;
bool kept = false;  // keep_freed_memory was called
int holders = 0;    // LargeBlocksToSystem alive

}  // namespace

void keep_freed_memory() {
#if defined(__GLIBC__)
    const std::lock_guard lock(threshold_mutex);
    mallopt(M_MMAP_THRESHOLD, holders > 0 ? solve_threshold : kept_threshold);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    kept = true;
#endif
}

void return_freed_memory() {
#if defined(__GLIBC__)
    if (mallinfo2().fordblks > kept_free) malloc_trim(0);
#endif
}

LargeBlocksToSystem::LargeBlocksToSystem() {
#if defined(__GLIBC__)
    const std::lock_guard lock(threshold_mutex);
    if (holders++ == 0 && kept) mallopt(M_MMAP_THRESHOLD, solve_threshold);
#endif
}

LargeBlocksToSystem::~LargeBlocksToSystem() {
#if defined(__GLIBC__)
    const std::lock_guard lock(threshold_mutex);
    if (--holders == 0 && kept) mallopt(M_MMAP_THRESHOLD, kept_threshold);
#endif
}

}  // namespace ddinfer
