#include <unistd.h>

#include <iostream>

#include "robust.h"

int main(int argc, char** argv) {
    ddinfer::SpawnRunner runner;
    return ddinfer::robust_main(argc, argv, runner, std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
}
