#include <unistd.h>

#include <iostream>

#include "core/heap.h"
#include "runs/robust.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        ddinfer::SpawnRunner runner;
        return ddinfer::robust_main(argc, argv, runner, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-robust: " << e.what() << "\n";
        return 1;
    }
}
