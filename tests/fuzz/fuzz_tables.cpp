// libFuzzer target: the table readers of ddinfer-eval and ddinfer-rank (gold
// lists, inferred pair lists, robust, null and rank tables) and the reader
// of ddinfer-merge's partial tables on any bytes, the first byte choosing
// the reader, against the candidates of a small fixed network.
#include <sstream>
#include <string>

#include "core/dint.h"
#include "core/error.h"
#include "evidence/evaluate.h"
#include "core/network.h"
#include "core/readers.h"
#include "runs/shard.h"

namespace {

const ddinfer::NamePairs& candidates() {
    static const ddinfer::NamePairs names = [] {
        using namespace ddinfer;
        protdom network;
        inter_table pint, dint;
        std::ostringstream quiet;
        std::istringstream pairs("3\nA B\nB C\nC A\n"), domains("3\nX: A B\nY: B C\nZ Z: C\n");
        readpint(network, pint, pairs, "pairs", read_count_line(pairs, "pairs", "protein pairs"), Streams{quiet, quiet});
        network.ndom = read_count_line(domains, "domains", "domain lines");
        creat_protdom(network, domains, "domains", Streams{quiet, quiet});
        construct_dint(network, pint, dint, quiet);
        return candidate_names(network, dint);
    }();
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    using namespace ddinfer;
    if (size == 0) return 0;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    try {
        switch (data[0] % 5) {
            case 0:
                read_gold(in, "gold");
                break;
            case 1:
                read_inferred(in, "dint", candidates());
                break;
            case 2: {
                const Table table = read_table(in, "table", candidates());
                if (table.rows.size() != table.line_numbers.size()) __builtin_trap();
                for (const auto& row : table.rows) {
                    if (row.size() != table.header.size()) __builtin_trap();
                }
                ranked_pairs(table, "table");
                break;
            }
            case 3:
                ranked_pairs(read_table(in, "robust", candidates()), "robust");
                break;
            default: {
                // A part that passes its checks merges (as the one part of 1/1
                // or as one of several, then refused for the shards missing).
                const PartialTable part = read_partial_table(in, "part");
                if (part.rows.size() != part.lines.size()) __builtin_trap();
                merge_partial_tables({part});
                break;
            }
        }
    } catch (const Error&) {
    }
    return 0;
}
