#include <iostream>

#include "core/heap.h"
#include "report/html_report.h"

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    try {
        return ddinfer::report_main(argc, argv, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-report: " << e.what() << "\n";
        return 1;
    }
}
