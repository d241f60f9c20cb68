// ddinfer-eval PAIRS DOMAINS DINT GOLD: judges an inferred pair list against
// a gold list of known domain-domain interactions.
#include <fstream>
#include <iostream>
#include <sstream>

#include "dint.h"
#include "error.h"
#include "evaluate.h"
#include "readers.h"

namespace {

const char* const usage = "usage: ddinfer-eval PAIRS DOMAINS DINT|ROBUST_TSV GOLD\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace ddinfer;
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::cout << usage;
        return 0;
    }
    if (argc != 5) {
        std::cerr << "ddinfer-eval: expected four arguments; " << usage;
        return 2;
    }
    try {
        protdom network;
        inter_table pint, dint;
        std::ostringstream quiet;
        readdata(network, pint, argv[1], argv[2], Streams{quiet, std::cerr});
        construct_dint(network, pint, dint, quiet);
        const NamePairs candidates = candidate_names(network, dint);
        std::ifstream gold_in = open_input(argv[4]);
        const NamePairs gold = read_gold(gold_in, argv[4]);
        std::vector<std::pair<std::string, std::string>> all;
        for (int r = 0; r < dint.n; ++r) {
            all.emplace_back(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name);
        }
        const Share base = share(all, gold);

        // A ranked table of ddinfer-robust, or a plain inferred pair list.
        std::ifstream result_in = open_input(argv[3]);
        std::string first;
        std::getline(result_in, first);
        if (first == robust_header) {
            std::cout << format_ranked_evaluation(base, read_ranked(result_in, argv[3], candidates), gold);
        } else {
            result_in.clear();
            result_in.seekg(0);
            std::cout << format_evaluation(base, share(read_inferred(result_in, argv[3], candidates), gold));
        }
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-eval: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
