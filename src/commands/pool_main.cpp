#include <iostream>

#include "evidence/pool.h"

int main(int argc, char** argv) {
    try {
        return ddinfer::pool_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-pool: " << e.what() << "\n";
        return 1;
    }
}
