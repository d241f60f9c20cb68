// libFuzzer target: the two input readers and the candidate table on any
// bytes (split at the first NUL into the interaction list and the domain
// file), then the programme written to memory and the ranking counts.
#include <cstdio>
#include <sstream>
#include <string>

#include "core/dint.h"
#include "core/error.h"
#include "core/lp_out.h"
#include "core/network.h"
#include "evidence/rank.h"
#include "core/readers.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using namespace ddinfer;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t split = text.find('\0');
    std::istringstream pairs(text.substr(0, split));
    std::istringstream domains(split == std::string::npos ? std::string() : text.substr(split + 1));
    protdom network;
    inter_table pint, dint;
    std::ostringstream quiet;
    try {
        const int declared = read_count_line(pairs, "pairs", "protein pairs");
        readpint(network, pint, pairs, "pairs", declared, Streams{quiet, quiet});
        network.ndom = read_count_line(domains, "domains", "domain lines");
        creat_protdom(network, domains, "domains", Streams{quiet, quiet});
    } catch (const Error&) {
        return 0;
    }
    construct_dint(network, pint, dint, quiet);
    LP_out(network, pint, dint, "/dev/null", 0.1f);
    const Association a = count_association(network, pint, dint);
    for (int r = 0; r < dint.n; ++r) {
        if (a.support[r] < 1 || a.support[r] > a.possible[r]) __builtin_trap();
    }
    rank_candidates(dint, a, {}, {});
    return 0;
}
