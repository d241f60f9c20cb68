#include <iostream>

#include "driver.h"

int main(int argc, char** argv) {
    ddinfer::SpawnRunner runner;
    return ddinfer::ddinfer_main(argc, argv, runner, std::cout, std::cerr);
}
