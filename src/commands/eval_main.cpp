// ddinfer-eval PAIRS DOMAINS RESULT GOLD: judges a result of the other
// commands against a gold list of known domain-domain interactions.
#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>

#include "cli/cli.h"
#include "core/dint.h"
#include "core/error.h"
#include "core/heap.h"
#include "core/input_file.h"
#include "core/lines.h"
#include "core/readers.h"
#include "evidence/evaluate.h"

namespace {

const char* const usage = "usage: ddinfer-eval [-q] PAIRS DOMAINS RESULT GOLD\n";
const char* const help =
    "  Judges RESULT, computed from PAIRS and DOMAINS, against GOLD, a list of\n"
    "  known domain-domain interactions, and prints the figures.\n"
    "  PAIRS, DOMAINS  the inputs of the run, as ddinfer reads them\n"
    "  GOLD            two domain names a line, separated by tabs or spaces, in\n"
    "                  either order; lines starting with # and blank lines skipped\n"
    "  RESULT, one of:\n"
    "    a .dint file of ddinfer: DOMAIN_A<TAB>DOMAIN_B a line; prints precision,\n"
    "      recall and enrichment over the candidates' base rate\n"
    "    a table of ddinfer-robust (header domain_a, domain_b, classic, freq):\n"
    "      the same for the classic list and for pairs at freq = 1, >= 0.75,\n"
    "      >= 0.5, >= 0.25 and > 0, then the figures of a ranking below\n"
    "    a table of ddinfer-rank, ddinfer-pool or ddinfer-null, or any table with\n"
    "      a header line that begins domain_a<TAB>domain_b: taken as a ranking,\n"
    "      best first, in file order (the null table is in p-value order)\n"
    "  A ranking gets precision at the top 250, 500, 1000, 2000 and 5000 pairs\n"
    "  and the average precision (AP) over the whole ranking, with the gold\n"
    "  pairs among the candidates as its denominator; once for all pairs, once\n"
    "  for heterotypic pairs (two different domains) alone, and once for\n"
    "  heterotypic pairs whose domains no protein carries together (no shared).\n"
    "  Every pair of RESULT must be a candidate of PAIRS and DOMAINS (a table of\n"
    "  ddinfer-pool excepted: its other networks' pairs are passed over and\n"
    "  counted), and some pair of GOLD must be one.\n"
    "  -q, --quiet     only warnings and errors on standard error\n"
    "  -h, --help, -V, --version\n"
    "  Example:\n"
    "    ddinfer-eval pairs.txt domains.txt pairs.txt.rank.tsv gold.tsv\n"
    "  Exit status: 0 done, 1 a file cannot be read or holds bad input, 2 a\n"
    "  mistake in the call.\n";

// Whether the figures reached standard output (a full disk, /dev/full);
// says why not.
bool written(std::ostream& out) {
    errno = 0;
    out.flush();
    if (out.good()) return true;
    std::cerr << "ddinfer-eval: standard output: cannot write" << (errno != 0 ? std::string(": ") + std::strerror(errno) : "")
              << "\n";
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    ddinfer::keep_freed_memory();
    using namespace ddinfer;
    const CommandLine command{"ddinfer-eval", usage, help, {}, 4};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, std::cout, std::cerr); status >= 0) {
        return status;
    }
    const std::string& result_path = args.positional[2];
    const std::string& gold_path = args.positional[3];
    try {
        protdom network;
        inter_table pint, dint;
        std::ostringstream counts;
        InfoStream info(std::cerr, args.has("quiet"));
        readdata(network, pint, args.positional[0], args.positional[1], Streams{counts, info}, true);
        info << std::flush;
        construct_dint(network, pint, dint, counts);
        const NamePairs candidates = candidate_names(network, dint);
        const NamePairs gold = read_gold(*open_input(gold_path), gold_path);
        std::vector<std::pair<std::string, std::string>> all;
        for (int r = 0; r < dint.n; ++r) {
            all.emplace_back(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name);
        }
        const Share base = share(all, gold);
        if (base.in_gold == 0) {
            // A precision of 0% against a list that names other things is
            // no result: most often the ids are of another kind.
            throw Error(no_gold_candidate(gold_path, gold, args.positional[0], args.positional[1], candidates.example()));
        }

        // The result is read once, front to back, so that a pipe serves too.
        const auto result_file = open_input(result_path);
        // Read whole, to be read twice; a read() sets badbit on a damaged
        // compressed file where copying the stream buffer would stop quietly.
        // Lines are bounded as they come, so that one endless line (a binary
        // file, a decompression bomb) stops at the bound, not at the memory.
        std::string text;
        std::vector<char> buffer(1 << 16);
        std::size_t line_length = 0;
        long line_no = 1;
        while (result_file->read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || result_file->gcount() > 0) {
            const auto got = static_cast<std::size_t>(result_file->gcount());
            for (std::size_t i = 0; i < got; ++i) {
                if (buffer[i] == '\n') {
                    line_length = 0;
                    ++line_no;
                } else if (++line_length > max_line_bytes) {
                    throw line_too_long(result_path, line_no, max_line_bytes);
                }
            }
            text.append(buffer.data(), got);
        }
        if (result_file->bad()) throw Error(read_failure(result_path, *result_file));
        std::stringstream result_in(text);
        long header_line = 0;
        const std::string first = first_table_line(result_in, result_path, header_line);
        result_in.clear();
        result_in.seekg(0);
        if (table_header(first).empty()) {
            std::cout << format_evaluation(base, share(read_inferred(result_in, result_path, candidates), gold));
            return written(std::cout) ? 0 : 1;
        }
        const Table table = read_table(result_in, result_path, candidates);
        if (table.unchecked) info << unchecked_warning(result_path) << std::flush;
        if (table.passed_over > 0) {
            std::cout << "passed over " << table.passed_over << " pairs of the pooled table that are no candidates of "
                      << args.positional[0] << " and " << args.positional[1] << "\n";
        }
        std::vector<std::pair<std::string, std::string>> ranking;
        for (const std::vector<std::string>& row : table.rows) ranking.emplace_back(row[0], row[1]);
        if (first == robust_header) {
            std::cout << format_ranked_evaluation(base, ranked_pairs(table, result_path), gold) << "\n";
        } else {
            char line[120];
            std::snprintf(line, sizeof line, "candidates  %9zu pairs, %zu in gold (%.1f%%, the base rate)\n\n",
                          base.pairs, base.in_gold, 100.0 * base.rate());
            std::cout << line;
        }
        std::cout << format_ranking(ranking, all, gold, shared_domain_pairs(network));
    } catch (const std::exception& e) {
        std::cerr << "ddinfer-eval: " << e.what() << "\n";
        return 1;
    }
    return written(std::cout) ? 0 : 1;
}
