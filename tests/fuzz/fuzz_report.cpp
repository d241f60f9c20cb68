// libFuzzer target: the glpsol and clp report readers on any bytes, read
// through buffers of every size from 1 byte (the first input byte picks it).
#include <sstream>
#include <string>

#include "core/dint.h"
#include "core/network.h"
#include "core/readers.h"
#include "core/solution_report.h"

namespace {

ddinfer::inter_table candidates() {
    using namespace ddinfer;
    protdom network;
    inter_table pint, dint;
    std::ostringstream quiet;
    std::istringstream pairs("P0 P1\nP1 P2\nP2 P3\n"), domains("D0: P1 P2\nD1: P0 P1 P2\n");
    readpint(network, pint, pairs, "pairs", 3, Streams{quiet, quiet});
    network.ndom = 2;
    creat_protdom(network, domains, "domains", Streams{quiet, quiet});
    construct_dint(network, pint, dint, quiet);
    return dint;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 64;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ddinfer::inter_table dint = candidates();
    std::istringstream in(text);
    std::ostringstream err;
    ddinfer::ReportSums sums;
    ddinfer::read_glp_report(in, "r.out", dint, err, &sums, chunk);
    for (const ddinfer::inter& record : dint.list) {
        if (record.value < 0 || record.value > 1) __builtin_trap();
    }
    return 0;
}
