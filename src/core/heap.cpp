#include "core/heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace ddinfer {

void keep_freed_memory() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest the library allows on 64 bits
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
}

}  // namespace ddinfer
