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

const char* const usage = "usage: ddinfer-eval PAIRS DOMAINS DINT GOLD\n";

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
        std::ifstream result_in = open_input(argv[3]);
        const auto inferred = read_inferred(result_in, argv[3], candidates);

        std::vector<std::pair<std::string, std::string>> all;
        for (int r = 0; r < dint.n; ++r) all.emplace_back(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name);
        std::cout << format_evaluation(share(all, gold), share(inferred, gold));
    } catch (const Error& e) {
        std::cerr << "ddinfer-eval: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
