#include <iostream>

#include "evidence/rank.h"

int main(int argc, char** argv) {
    try {
        return ddinfer::rank_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-rank: " << e.what() << "\n";
        return 1;
    }
}
