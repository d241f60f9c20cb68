#include <iostream>

#include "core/heap.h"
#include "driver/driver.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        ddinfer::SpawnRunner runner;
        return ddinfer::ddinfer_main(argc, argv, runner, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer: " << e.what() << "\n";
        return 1;
    }
}
