// How the process keeps the memory it frees.
#pragma once

namespace ddinfer {

// By default the C library hands every block over 128 KiB back to the
// system when it is freed, so the next array of that size faults each of
// its pages in again. The solve's stages build and drop arrays of millions
// of entries one after another; on a network of 1.3 million pairs that
// churn was about 14% of ddinfer's CPU time. Called first thing in a
// command: blocks up to 32 MiB come from the heap, and up to 1 GiB of freed
// heap is kept for reuse. ddinfer's and the report's peak resident memory
// stayed within 1% of what it was.
void keep_freed_memory();

// Hands the free pages of the heap back to the system when more than 256
// MiB of it lie free. After each null run: every run lays out its arrays
// anew among the holes that the last left, and the kept heap grew run
// after run. Measured on human BioGRID scaled to 4x, ddinfer-null peaked
// at 965 MiB after 2 runs, 1035 after 4 and 1120 after 10; trimmed after
// each, at 948 after 10, for about 0.5 s of system time a run (the next
// run faults its pages in again). On human BioGRID itself 150-170 MB lie
// free after a run, and the trim cost 5% of the runs' time for nothing.
void return_freed_memory();

// While one lives, on any thread, blocks of 4 MiB and more come from the
// system again and go back to it when freed (once keep_freed_memory has
// been called; before, the library's own rule holds throughout). For CLP's
// solve: it allocates and frees such blocks by the thousand, and in the
// kept heap the holes they leave among the data that outlives the solve
// are too small for the next solve's, so the heap grows from one null run
// to the next. Measured on human BioGRID scaled to 4x: ddinfer-null --runs
// 2 peaked at 1076-1225 MiB (the range is the heap's layout, which moved
// with unrelated changes of code), and at 946-977 MiB with the solves
// under this, for about 1 s more system time.
class LargeBlocksToSystem {
public:
    LargeBlocksToSystem();
    ~LargeBlocksToSystem();
    LargeBlocksToSystem(const LargeBlocksToSystem&) = delete;
    LargeBlocksToSystem& operator=(const LargeBlocksToSystem&) = delete;
};

}  // namespace ddinfer
