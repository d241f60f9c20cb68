#include "evidence/rank.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <numeric>
#include <ostream>
#include <unordered_map>
#include <unordered_set>

#include "core/atomic_file.h"
#include "evidence/calibrate.h"
#include "cli/cli.h"
#include "cli/interrupt.h"
#include "solve/clp_inprocess.h"
#include "core/dint.h"
#include "core/error.h"
#include "evidence/evaluate.h"
#include "core/readers.h"
#include "core/text_out.h"

namespace ddinfer {

RankedTable rank_candidates(const inter_table& dint, const Association& assoc, const LpEvidence& lp,
                            const RankOptions& options) {
    const auto n = static_cast<std::size_t>(dint.n);
    const double rho = assoc.rho();
    RankedTable t;
    t.log_p.resize(n);
    t.log_p_dc.resize(n);
    for (std::size_t r = 0; r < n; ++r) {
        t.log_p[r] = log_binomial_upper(assoc.possible[r], assoc.support[r], rho);
        t.log_p_dc[r] = log_poisson_upper(assoc.support[r], assoc.expected[r]);
    }
    const std::vector<double>& log_p = options.binomial ? t.log_p : t.log_p_dc;

    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    auto assoc_better = [&](int x, int y) {
        if (log_p[x] != log_p[y]) return log_p[x] < log_p[y];
        return assoc.support[x] > assoc.support[y];
    };
    std::stable_sort(order.begin(), order.end(), assoc_better);
    const std::vector<double> assoc_rank =
        tied_ranks(order, [&](int x, int y) { return !assoc_better(x, y) && !assoc_better(y, x); });

    // The product of the ranks, each further kind of evidence ranked most
    // first with ties at their mid-rank; the score is -ln of the product,
    // so that equal products are equal scores (a sum of logarithms would
    // break such ties by rounding).
    const RankWeights& w = options.weights;
    std::vector<double> product(n);
    for (std::size_t r = 0; r < n; ++r) product[r] = w.association == 1 ? assoc_rank[r] : std::pow(assoc_rank[r], w.association);
    auto multiply_rank = [&](const auto& values, double weight) {
        if (weight == 0) return;
        std::vector<int> by(n);
        std::iota(by.begin(), by.end(), 0);
        std::stable_sort(by.begin(), by.end(), [&](int x, int y) { return values[x] > values[y]; });
        const std::vector<double> rank = tied_ranks(by, [&](int x, int y) { return values[x] == values[y]; });
        for (std::size_t r = 0; r < n; ++r) product[r] *= weight == 1 ? rank[r] : std::pow(rank[r], weight);
    };
    const std::vector<double>& evidence = !lp.freq.empty() ? lp.freq : lp.lp_value;
    if (!evidence.empty()) multiply_rank(evidence, w.lp);
    // Pairs that no protein carries together all share one mid-rank, so
    // their order among themselves stays that of the other evidence.
    if (!options.network_only) multiply_rank(assoc.shared, w.shared);
    if (!options.network_only && !assoc.partner_cosine.empty()) multiply_rank(assoc.partner_cosine, w.partners);
    t.score.resize(n);
    for (std::size_t r = 0; r < n; ++r) t.score[r] = 0.0 - std::log(product[r]);

    // Highest score first; equal scores in association order. The switches
    // put whole groups first: homotypic pairs, then heterotypic pairs whose
    // domains share a protein.
    std::vector<double> tie(n);
    for (std::size_t i = 0; i < n; ++i) tie[static_cast<std::size_t>(order[i])] = static_cast<double>(i);
    t.order.resize(n);
    std::iota(t.order.begin(), t.order.end(), 0);
    auto group = [&](int r) {
        if (options.homotypic_first && dint.list[r].a == dint.list[r].b) return 0;
        if (options.shared_first && assoc.shared[r] > 0) return 1;
        return 2;
    };
    std::sort(t.order.begin(), t.order.end(), [&](int x, int y) {
        if (group(x) != group(y)) return group(x) < group(y);
        if (t.score[x] != t.score[y]) return t.score[x] > t.score[y];
        return tie[x] < tie[y];
    });
    return t;
}

RankWeights parse_weights(const std::string& text) {
    RankWeights weights;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string item = text.substr(at, comma - at);
        const std::size_t eq = item.find('=');
        const std::string name = item.substr(0, eq);
        double* target = name == "lp"            ? &weights.lp
                         : name == "association" ? &weights.association
                         : name == "shared"      ? &weights.shared
                         : name == "partners"    ? &weights.partners
                                                 : nullptr;
        char* end = nullptr;
        const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        const double number = std::strtod(value.c_str(), &end);
        if (target == nullptr || value.empty() || end != value.c_str() + value.size() || !std::isfinite(number) ||
            number < 0) {
            throw UsageError("--weights takes NAME=WEIGHT,... with the names lp, association, shared and partners "
                             "and weights of at least 0, not \"" + item + "\"");
        }
        *target = number;
        at = comma + 1;
    }
    return weights;
}

std::string weights_text(const RankWeights& w) {
    return "lp=" + format_g(w.lp) + ",association=" + format_g(w.association) + ",shared=" + format_g(w.shared) +
           ",partners=" + format_g(w.partners);
}

bool write_rank_table(std::FILE* file, const std::string& first_line, const protdom& network,
                      const inter_table& dint, const Association& assoc, const LpEvidence& lp,
                      const RankedTable& ranked, const std::vector<int>& class_size,
                      const std::vector<double>& p_gold) {
    TextOut out(file);
    out << first_line << rank_header << (p_gold.empty() ? "" : "\tp_gold") << '\n';
    out.count_rows();
    const double rho = assoc.rho();
    long long rank = 0;
    for (int r : ranked.order) {
        const inter& pair = dint.list[r];
        const double expected = static_cast<double>(assoc.possible[r]) * rho;
        out << network.dom[pair.a].name << '\t' << network.dom[pair.b].name << '\t'
            << (pair.a == pair.b ? "1" : "0") << '\t' << static_cast<long long>(assoc.support[r]) << '\t'
            << static_cast<long long>(assoc.possible[r]) << '\t'
            << format_g(expected > 0 ? static_cast<double>(assoc.support[r]) / expected : 0.0) << '\t'
            << format_g(std::exp(ranked.log_p[r])) << '\t' << format_g(ranked.log_p[r] / std::log(10.0))
            << '\t' << (lp.lp_value.empty() ? std::string() : format_g(lp.lp_value[r])) << '\t'
            << (lp.freq.empty() ? std::string() : format_g(lp.freq[r])) << '\t'
            << format_g(ranked.score[r]) << '\t' << ++rank << '\t' << class_size[r] << '\t'
            << format_g(assoc.expected[r]) << '\t' << format_g(ranked.log_p_dc[r] / std::log(10.0)) << '\t'
            << static_cast<long long>(assoc.shared[r]) << '\t'
            << (assoc.partner_cosine.empty() ? std::string() : format_g(assoc.partner_cosine[r]));
        if (!p_gold.empty()) out << '\t' << (std::isnan(p_gold[r]) ? std::string() : format_g(p_gold[r]));
        out << '\n';
    }
    out.end_table();
    return out.flush();
}

}  // namespace ddinfer

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-rank [--robust ROBUST_TSV] [--dint DINT] [--association degree|binomial] [--homotypic-first] "
    "[--shared-first] [--evidence all|network] [--weights W] [--calibrate GOLD] [--outdir DIR] [-q] PAIRS DOMAINS\n";
const char* const help_text =
    "  Ranks every candidate domain pair of PAIRS and DOMAINS, best first, and\n"
    "  writes PAIRS.rank.tsv (its first line records the call), and\n"
    "  PAIRS.classes.tsv: the sets of candidates that stand in exactly the same\n"
    "  protein pairs, which no solution can tell apart. The score combines the\n"
    "  association of the two domains across the network, the programme's\n"
    "  evidence (the pair's frequency across optimal solutions, --robust, or\n"
    "  its classic value, --dint), how many proteins carry both domains and how\n"
    "  alike the two domains' interaction partners are (partner_cosine):\n"
    "  -(sum of weight x ln rank) over the four ranks (ties at their mid-rank;\n"
    "  higher is better).\n"
    "  The top 10 rows are shown on standard output.\n"
    "  --robust FILE       a table of ddinfer-robust for the same inputs\n"
    "  --dint FILE         an inferred pair list of ddinfer for the same inputs\n"
    "  --association degree    (default) support against what the interactions of\n"
    "                      the carrying proteins lead one to expect (Poisson)\n"
    "  --association binomial  support against the network's density alone\n"
    "  --homotypic-first   list pairs of one domain with itself first\n"
    "  --shared-first      then (or first) pairs of two domains found on one protein\n"
    "  --evidence all      (default) all four kinds of evidence\n"
    "  --evidence network  leave out the proteins that carry both domains and\n"
    "                      the partners' likeness: only the programme and the\n"
    "                      association count\n"
    "  --weights W         how much each rank weighs in the score, as\n"
    "                      lp=1,association=1,shared=1.5,partners=1 (the\n"
    "                      defaults; any of the names, each at least 0)\n"
    "  --calibrate GOLD    add p_gold: the estimated chance that the pair is in\n"
    "                      GOLD, never fitted on the pair's own label; the\n"
    "                      reliability table goes to standard error\n"
    "  --outdir DIR        write the tables in DIR (made if missing), not beside PAIRS\n"
    "  -q, --quiet           only warnings and errors on standard error\n"
    "  -h, --help, -V, --version; options may stand anywhere, -- ends them\n"
    "  Example:\n"
    "    ddinfer-rank --robust pairs.txt.0.100000.robust.tsv pairs.txt domains.txt\n"
    "  Exit status: 0 done, 1 bad input or a file that cannot be written, 2 a\n"
    "  mistake in the call.\n";

// The first rows of the ranked table, for a look on standard output.
std::string preview(const protdom& network, const inter_table& dint, const Association& assoc,
                    const LpEvidence& lp, const RankedTable& ranked, const RankOptions& options, std::size_t rows) {
    std::string text = "the top " + std::to_string(std::min(rows, ranked.order.size())) + " pairs:\n";
    char line[400];
    std::snprintf(line, sizeof line, "%5s  %-16s %-16s %8s %11s %8s %8s %9s\n", "rank", "domain_a", "domain_b",
                  "support", options.binomial ? "p_assoc" : "p_dc", "lp_value", "freq", "score");
    text += line;
    for (std::size_t i = 0; i < rows && i < ranked.order.size(); ++i) {
        const int r = ranked.order[i];
        const inter& pair = dint.list[r];
        std::snprintf(line, sizeof line, "%5zu  %-16s %-16s %8lld %11s %8s %8s %9s\n", i + 1,
                      quoted_input(network.dom[pair.a].name, 60).c_str(),
                      quoted_input(network.dom[pair.b].name, 60).c_str(), static_cast<long long>(assoc.support[r]),
                      format_g(std::exp((options.binomial ? ranked.log_p : ranked.log_p_dc)[r])).c_str(),
                      lp.lp_value.empty() ? "-" : format_g(lp.lp_value[r]).c_str(),
                      lp.freq.empty() ? "-" : format_g(lp.freq[r]).c_str(),
                      format_g(ranked.score[r]).c_str());
        text += line;
    }
    return text;
}

void read_dint_evidence(const std::string& path, const protdom& network, const inter_table& dint,
                        const CandidateRecords& records, LpEvidence& lp) {
    const auto in = open_input(path);
    const auto pairs = read_inferred(*in, path, candidate_names(network, dint));
    lp.lp_value.assign(static_cast<std::size_t>(dint.n), 0.0);
    for (const auto& [a, b] : pairs) lp.lp_value[static_cast<std::size_t>(records.find(a, b))] = 1.0;
}

void read_robust_evidence(const std::string& path, const protdom& network, const inter_table& dint,
                          const CandidateRecords& records, LpEvidence& lp, std::ostream& info) {
    const auto in = open_input(path);
    long line_no = 0;
    if (first_table_line(*in, path, line_no) != robust_header) {
        throw input_error(path, std::max(1L, line_no),
                          "expected the header of a ddinfer-robust table (domain_a, domain_b, classic, freq)");
    }
    // Again from the start, its first line telling whether it ends checked.
    const Table table = read_table(*open_input(path), path, candidate_names(network, dint));
    if (table.unchecked) info << unchecked_warning(path);
    const std::vector<RankedPair> rows = ranked_pairs(table, path);
    std::vector<double> classic(static_cast<std::size_t>(dint.n), 0.0);
    lp.freq.assign(static_cast<std::size_t>(dint.n), 0.0);
    for (const RankedPair& row : rows) {
        const auto r = static_cast<std::size_t>(records.find(row.a, row.b));
        classic[r] = row.classic;
        lp.freq[r] = row.freq;
    }
    if (lp.lp_value.empty()) lp.lp_value = std::move(classic);
}

}  // namespace

int rank_main(int argc, char** argv, std::ostream& out, std::ostream& err) {
    const CommandLine command{"ddinfer-rank",
                              usage_line,
                              help_text,
                              {{"robust", true},
                               {"dint", true},
                               {"homotypic-first", false},
                               {"shared-first", false},
                               {"association", true},
                               {"evidence", true},
                               {"calibrate", true},
                               {"weights", true},
                               {"outdir", true}},
                              2};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, out, err); status >= 0) return status;
    const std::string& pairs_path = args.positional[0];
    std::string stem;
    RankOptions options;
    try {
        stem = output_stem(args, pairs_path);
        const std::string model = args.get("association", "degree");
        if (model != "degree" && model != "binomial") {
            throw UsageError("--association takes degree or binomial, not \"" + model + "\"");
        }
        options.binomial = model == "binomial";
        options.homotypic_first = args.has("homotypic-first");
        options.shared_first = args.has("shared-first");
        const std::string evidence = args.get("evidence", "all");
        if (evidence != "all" && evidence != "network") {
            throw UsageError("--evidence takes all or network, not \"" + evidence + "\"");
        }
        options.network_only = evidence == "network";
        if (args.has("weights")) options.weights = parse_weights(args.get("weights", ""));
        refuse_output_over_input({stem + ".rank.tsv", stem + ".classes.tsv"},
                                 given_values(args, args.positional, {"robust", "dint", "calibrate"}));
    } catch (const UsageError& e) {
        err << "ddinfer-rank: " << e.what() << "; " << usage_line;
        return 2;
    }
    std::vector<std::string> call;
    for (const char* option : {"robust", "dint", "association", "calibrate"}) {
        if (args.has(option)) call.insert(call.end(), {std::string("--") + option, args.get(option, "")});
    }
    for (const char* flag : {"homotypic-first", "shared-first"}) {
        if (args.has(flag)) call.push_back(std::string("--") + flag);
    }
    // Always recorded, so that a table tells which score it holds.
    call.insert(call.end(), {"--evidence", options.network_only ? "network" : "all"});
    call.insert(call.end(), {"--weights", weights_text(options.weights)});
    call.insert(call.end(), {pairs_path, args.positional[1]});
    try {
        InterruptGuard interrupts("ddinfer-rank");
        protdom network;
        inter_table pint, dint;
        InfoStream info(err, args.has("quiet"));
        readdata(network, pint, pairs_path, args.positional[1], Streams{out, info}, true);
        construct_dint(network, pint, dint, out);
        Association assoc = count_association(network, pint, dint);
        if (!options.network_only) assoc.partner_cosine = partner_cosine(network, pint, dint);
        LpEvidence lp;
        const CandidateRecords records(network, dint);
        if (args.has("dint")) read_dint_evidence(args.get("dint", ""), network, dint, records, lp);
        if (args.has("robust")) read_robust_evidence(args.get("robust", ""), network, dint, records, lp, info);
        const RankedTable ranked = rank_candidates(dint, assoc, lp, options);
        Calibration calibration;
        if (args.has("calibrate")) {
            const std::string gold_path = args.get("calibrate", "");
            const NamePairs gold = read_gold(*open_input(gold_path), gold_path);
            // Fitted on no gold pair at all, every p_gold would read 0.
            bool any = false;
            for (int r = 0; r < dint.n && !any; ++r) {
                any = gold.contains(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name);
            }
            if (!any) {
                throw Error(no_gold_candidate(gold_path, gold, pairs_path, args.positional[1],
                                              dint.n == 0 ? std::string()
                                                          : network.dom[dint.list[0].a].name + "-" +
                                                                network.dom[dint.list[0].b].name));
            }
            calibration = calibrate(network, dint, ranked.score, gold);
            std::unordered_set<std::string_view> known;
            for (const node& domain : network.dom) known.insert(domain.name);
            std::size_t unknown = 0;
            gold.each([&](std::string_view a, std::string_view b) { unknown += !known.count(a) || !known.count(b); });
            if (unknown > 0) {
                calibration.reliability += "  " + std::to_string(unknown) + " of the " + std::to_string(gold.size()) +
                                           " pairs of " + gold_path + " name a domain that " + args.positional[1] +
                                           " does not have\n";
            }
        }

        // Candidates that stand in exactly the same rows of the programme:
        // no solution can tell them apart.
        const std::vector<std::vector<int>> classes = identical_columns(network, pint, dint);
        std::vector<int> class_size(static_cast<std::size_t>(dint.n), 1);
        std::string class_table = "class\tdomain_a\tdomain_b\n";
        for (std::size_t c = 0; c < classes.size(); ++c) {
            for (int r : classes[c]) {
                class_size[r] = static_cast<int>(classes[c].size());
                class_table += std::to_string(c + 1) + "\t" + network.dom[dint.list[r].a].name + "\t" +
                               network.dom[dint.list[r].b].name + "\n";
            }
        }
        // The two tables describe one run: both are written whole before
        // either replaces an earlier one.
        AtomicFile classes_file(stem + ".classes.tsv");
        errno = 0;
        classes_file.finish(std::fwrite(class_table.data(), 1, class_table.size(), classes_file.file()) ==
                            class_table.size());
        const std::string path = stem + ".rank.tsv";
        AtomicFile file(path);
        file.finish(write_rank_table(file.file(), provenance("ddinfer-rank", call), network, dint, assoc, lp, ranked,
                                     class_size, calibration.p_gold));
        publish_together({&classes_file, &file});
        out << preview(network, dint, assoc, lp, ranked, options, 10);
        info << calibration.reliability;
        info << "wrote " << path << ": " << dint.n << " candidate pairs, " << assoc.modelled
            << " modelled protein pairs, density " << format_g(assoc.rho()) << "\n";
    } catch (const Error& e) {
        err << "ddinfer-rank: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
