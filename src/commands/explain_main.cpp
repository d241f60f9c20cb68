#include <iostream>

#include "core/heap.h"
#include "evidence/explain.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        return ddinfer::explain_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-explain: " << e.what() << "\n";
        return 1;
    }
}
