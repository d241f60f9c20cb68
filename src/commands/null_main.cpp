#include <unistd.h>

#include <iostream>

#include "runs/significance.h"

int main(int argc, char** argv) {
    try {
        ddinfer::SpawnRunner runner;
        return ddinfer::null_main(argc, argv, runner, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-null: " << e.what() << "\n";
        return 1;
    }
}
