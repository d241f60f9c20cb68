#include <iostream>

#include "core/heap.h"
#include "evidence/rank.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        return ddinfer::rank_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-rank: " << e.what() << "\n";
        return 1;
    }
}
