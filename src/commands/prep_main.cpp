#include <iostream>

#include "core/heap.h"
#include "prep/prep.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        return ddinfer::prep_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-prep: " << e.what() << "\n";
        return 1;
    }
}
