#include <iostream>

#include "core/heap.h"
#include "runs/shard.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        return ddinfer::merge_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-merge: " << e.what() << "\n";
        return 1;
    }
}
