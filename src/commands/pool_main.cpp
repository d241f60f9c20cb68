#include <iostream>

#include "core/heap.h"
#include "evidence/pool.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        return ddinfer::pool_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-pool: " << e.what() << "\n";
        return 1;
    }
}
