#include "rank.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <numeric>
#include <ostream>
#include <unordered_map>

#include "atomic_file.h"
#include "cli.h"
#include "clp_inprocess.h"
#include "dint.h"
#include "error.h"
#include "evaluate.h"
#include "readers.h"
#include "text_out.h"

namespace ddinfer {

Association count_association(const protdom& network, const inter_table& pint, const inter_table& dint) {
    // Each protein's distinct domains, in increasing order (a protein named
    // twice on one domain line is linked twice).
    std::vector<std::vector<int>> domains(static_cast<std::size_t>(network.nprot));
    std::vector<std::int64_t> members(static_cast<std::size_t>(network.ndom), 0);
    std::int64_t carriers = 0;
    for (int p = 0; p < network.nprot; ++p) {
        const node& protein = network.prot[p];
        std::vector<int>& mine = domains[p];
        mine.assign(protein.links.begin(), protein.links.begin() + protein.n);
        std::sort(mine.begin(), mine.end());
        mine.erase(std::unique(mine.begin(), mine.end()), mine.end());
        for (int d : mine) ++members[d];
        carriers += !mine.empty();
    }

    Association a;
    const auto n = static_cast<std::size_t>(dint.n);
    a.support.assign(n, 0);
    a.possible.assign(n, 0);

    // Support: every distinct protein pair once (the index names the last
    // record of a repeated pair), each candidate once per protein pair.
    std::vector<int> seen(n, -1);
    for (int k = 0; k < pint.n; ++k) {
        const inter& pair = pint.list[k];
        if (pint.index.get(pair.a, pair.b) != k) continue;
        const std::vector<int>& p = domains[pair.a];
        const std::vector<int>& q = domains[pair.b];
        if (p.empty() || q.empty()) continue;
        ++a.modelled;
        a.self_pairs = a.self_pairs || pair.a == pair.b;
        for (int d1 : p) {
            for (int d2 : q) {
                const int r = dint.index.get(d1, d2);
                if (r < 0 || seen[r] == k) continue;
                seen[r] = k;
                ++a.support[r];
            }
        }
    }

    // Proteins that carry both domains of a heterotypic candidate.
    std::vector<std::int64_t> both(n, 0);
    for (const std::vector<int>& mine : domains) {
        for (std::size_t u = 0; u < mine.size(); ++u) {
            for (std::size_t w = u + 1; w < mine.size(); ++w) {
                const int r = dint.index.get(mine[u], mine[w]);
                if (r >= 0) ++both[r];
            }
        }
    }

    // Unordered pairs {p, q}, p != q, p in A and q in B or the other way:
    // the ordered pairs of A x B off the diagonal, less the pairs counted in
    // both orders (both proteins in A and B). Self-pairs of proteins that
    // carry both domains count when the network has self-pairs.
    for (std::size_t r = 0; r < n; ++r) {
        const inter& pair = dint.list[r];
        const std::int64_t ma = members[pair.a], mb = members[pair.b];
        const std::int64_t c = pair.a == pair.b ? ma : both[r];
        std::int64_t possible = pair.a == pair.b ? ma * (ma - 1) / 2 : ma * mb - c - c * (c - 1) / 2;
        if (a.self_pairs) possible += c;
        a.possible[r] = possible;
    }
    a.universe = carriers * (carriers - 1) / 2 + (a.self_pairs ? carriers : 0);
    return a;
}

double log_binomial_upper(std::int64_t n, std::int64_t k, double rho) {
    constexpr double minus_infinity = -std::numeric_limits<double>::infinity();
    if (k <= 0) return 0.0;
    if (k > n || rho <= 0.0) return minus_infinity;
    if (rho >= 1.0) return 0.0;
    const double nd = static_cast<double>(n);
    const double log_rho = std::log(rho), log_rest = std::log1p(-rho);
    auto log_term = [&](std::int64_t j) {
        const double jd = static_cast<double>(j);
        return std::lgamma(nd + 1) - std::lgamma(jd + 1) - std::lgamma(nd - jd + 1) + jd * log_rho +
               (nd - jd) * log_rest;
    };
    // Sum from the term nearest the mean outward, where the terms shrink:
    // the upper tail itself when k is above the mean, else the lower tail
    // P(X <= k - 1), which is then small or at most about one half.
    const double odds = rho / (1.0 - rho);
    double sum = 1.0, term = 1.0;
    if (static_cast<double>(k) > nd * rho) {
        for (std::int64_t j = k; j < n; ++j) {
            term *= static_cast<double>(n - j) / static_cast<double>(j + 1) * odds;
            sum += term;
            if (term < sum * 1e-17) break;
        }
        return log_term(k) + std::log(sum);
    }
    for (std::int64_t j = k - 1; j > 0; --j) {
        term *= static_cast<double>(j) / static_cast<double>(n - j + 1) / odds;
        sum += term;
        if (term < sum * 1e-17) break;
    }
    const double lower = std::exp(log_term(k - 1)) * sum;
    return std::log1p(-std::min(lower, 1.0));
}

RankedTable rank_candidates(const inter_table& dint, const Association& assoc,
                            const LpEvidence& lp, bool homotypic_first) {
    const auto n = static_cast<std::size_t>(dint.n);
    const double rho = assoc.rho();
    RankedTable t;
    t.log_p.resize(n);
    for (std::size_t r = 0; r < n; ++r) t.log_p[r] = log_binomial_upper(assoc.possible[r], assoc.support[r], rho);

    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    auto assoc_better = [&](int x, int y) {
        if (t.log_p[x] != t.log_p[y]) return t.log_p[x] < t.log_p[y];
        return assoc.support[x] > assoc.support[y];
    };
    std::stable_sort(order.begin(), order.end(), assoc_better);
    const std::vector<double> assoc_rank =
        tied_ranks(order, [&](int x, int y) { return !assoc_better(x, y) && !assoc_better(y, x); });

    const std::vector<double>& evidence = !lp.freq.empty() ? lp.freq : lp.lp_value;
    t.score.resize(n);
    if (evidence.empty()) {
        for (std::size_t r = 0; r < n; ++r) t.score[r] = 0.0 - std::log(assoc_rank[r]);
    } else {
        std::vector<int> by_lp(n);
        std::iota(by_lp.begin(), by_lp.end(), 0);
        std::stable_sort(by_lp.begin(), by_lp.end(), [&](int x, int y) { return evidence[x] > evidence[y]; });
        const std::vector<double> lp_rank =
            tied_ranks(by_lp, [&](int x, int y) { return evidence[x] == evidence[y]; });
        for (std::size_t r = 0; r < n; ++r) t.score[r] = 0.0 - std::log(lp_rank[r]) - std::log(assoc_rank[r]);
    }

    // Highest score first; equal scores in association order.
    std::vector<double> tie(n);
    for (std::size_t i = 0; i < n; ++i) tie[static_cast<std::size_t>(order[i])] = static_cast<double>(i);
    t.order.resize(n);
    std::iota(t.order.begin(), t.order.end(), 0);
    auto homotypic = [&](int r) { return dint.list[r].a == dint.list[r].b; };
    std::sort(t.order.begin(), t.order.end(), [&](int x, int y) {
        if (homotypic_first && homotypic(x) != homotypic(y)) return homotypic(x);
        if (t.score[x] != t.score[y]) return t.score[x] > t.score[y];
        return tie[x] < tie[y];
    });
    return t;
}

namespace {

std::string format_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

bool write_rank_table(std::FILE* file, const std::string& first_line, const protdom& network,
                      const inter_table& dint, const Association& assoc, const LpEvidence& lp,
                      const RankedTable& ranked, const std::vector<int>& class_size) {
    TextOut out(file);
    out << first_line << rank_header << '\n';
    const double rho = assoc.rho();
    long long rank = 0;
    for (int r : ranked.order) {
        const inter& pair = dint.list[r];
        const double expected = static_cast<double>(assoc.possible[r]) * rho;
        out << network.dom[pair.a].name << '\t' << network.dom[pair.b].name << '\t'
            << (pair.a == pair.b ? "1" : "0") << '\t' << static_cast<long long>(assoc.support[r]) << '\t'
            << static_cast<long long>(assoc.possible[r]) << '\t'
            << format_number(expected > 0 ? static_cast<double>(assoc.support[r]) / expected : 0.0) << '\t'
            << format_number(std::exp(ranked.log_p[r])) << '\t' << format_number(ranked.log_p[r] / std::log(10.0))
            << '\t' << (lp.lp_value.empty() ? std::string() : format_number(lp.lp_value[r])) << '\t'
            << (lp.freq.empty() ? std::string() : format_number(lp.freq[r])) << '\t'
            << format_number(ranked.score[r]) << '\t' << ++rank << '\t' << class_size[r] << '\n';
    }
    return out.flush();
}

}  // namespace ddinfer

namespace ddinfer {
namespace {

const char* const usage_line =
    "usage: ddinfer-rank [--robust ROBUST_TSV] [--dint DINT] [--homotypic-first] [--outdir DIR] PAIRS DOMAINS\n";
const char* const help_text =
    "  Ranks every candidate domain pair of PAIRS and DOMAINS, best first, and\n"
    "  writes PAIRS.rank.tsv (its first line records the call), and\n"
    "  PAIRS.classes.tsv: the sets of candidates that stand in exactly the same\n"
    "  protein pairs, which no solution can tell apart. The score combines the\n"
    "  association of the two domains across the network (a binomial p-value)\n"
    "  with the programme's evidence: the pair's frequency across optimal\n"
    "  solutions (--robust) or its classic value (--dint); without either,\n"
    "  pairs are ranked by p. The top 10 rows are shown on standard output.\n"
    "  --robust FILE       a table of ddinfer-robust for the same inputs\n"
    "  --dint FILE         an inferred pair list of ddinfer for the same inputs\n"
    "  --homotypic-first   list pairs of one domain with itself first\n"
    "  --outdir DIR        write the tables in DIR (made if missing), not beside PAIRS\n"
    "  -h, --help, -V, --version; options may stand anywhere, -- ends them\n"
    "  Example:\n"
    "    ddinfer-rank --robust pairs.txt.0.100000.robust.tsv pairs.txt domains.txt\n"
    "  Exit status: 0 done, 1 bad input or a file that cannot be written, 2 a\n"
    "  mistake in the call.\n";

// The first rows of the ranked table, for a look on standard output.
std::string preview(const protdom& network, const inter_table& dint, const Association& assoc,
                    const LpEvidence& lp, const RankedTable& ranked, std::size_t rows) {
    std::string text = "the top " + std::to_string(std::min(rows, ranked.order.size())) + " pairs:\n";
    char line[400];
    std::snprintf(line, sizeof line, "%5s  %-16s %-16s %8s %11s %8s %8s %9s\n", "rank", "domain_a", "domain_b",
                  "support", "p_assoc", "lp_value", "freq", "score");
    text += line;
    for (std::size_t i = 0; i < rows && i < ranked.order.size(); ++i) {
        const int r = ranked.order[i];
        const inter& pair = dint.list[r];
        std::snprintf(line, sizeof line, "%5zu  %-16s %-16s %8lld %11s %8s %8s %9s\n", i + 1,
                      quoted_input(network.dom[pair.a].name, 60).c_str(),
                      quoted_input(network.dom[pair.b].name, 60).c_str(), static_cast<long long>(assoc.support[r]),
                      format_number(std::exp(ranked.log_p[r])).c_str(),
                      lp.lp_value.empty() ? "-" : format_number(lp.lp_value[r]).c_str(),
                      lp.freq.empty() ? "-" : format_number(lp.freq[r]).c_str(),
                      format_number(ranked.score[r]).c_str());
        text += line;
    }
    return text;
}

// Candidate records by the names of their two domains, in either order;
// the first record of a name pair is kept.
class CandidateRecords {
public:
    CandidateRecords(const protdom& network, const inter_table& dint) {
        records_.reserve(static_cast<std::size_t>(dint.n));
        for (int r = 0; r < dint.n; ++r) {
            records_.try_emplace(key(network.dom[dint.list[r].a].name, network.dom[dint.list[r].b].name), r);
        }
    }
    int find(const std::string& a, const std::string& b) const {
        const auto it = records_.find(key(a, b));
        return it == records_.end() ? -1 : it->second;
    }

private:
    static std::string key(const std::string& a, const std::string& b) { return a < b ? a + '\0' + b : b + '\0' + a; }
    std::unordered_map<std::string, int> records_;
};

void read_dint_evidence(const std::string& path, const protdom& network, const inter_table& dint,
                        const CandidateRecords& records, LpEvidence& lp) {
    const auto in = open_input(path);
    const auto pairs = read_inferred(*in, path, candidate_names(network, dint));
    lp.lp_value.assign(static_cast<std::size_t>(dint.n), 0.0);
    for (const auto& [a, b] : pairs) lp.lp_value[static_cast<std::size_t>(records.find(a, b))] = 1.0;
}

void read_robust_evidence(const std::string& path, const protdom& network, const inter_table& dint,
                          const CandidateRecords& records, LpEvidence& lp) {
    const auto in = open_input(path);
    long line_no = 0;
    if (first_table_line(*in, line_no) != robust_header) {
        throw input_error(path, std::max(1L, line_no),
                          "expected the header of a ddinfer-robust table (domain_a, domain_b, classic, freq)");
    }
    const std::vector<RankedPair> rows = read_ranked(*in, path, candidate_names(network, dint), line_no);
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
                              {{"robust", true}, {"dint", true}, {"homotypic-first", false}, {"outdir", true}},
                              2};
    ParsedArgs args;
    if (const int status = parse_command_line(command, argc, argv, args, out, err); status >= 0) return status;
    const std::string& pairs_path = args.positional[0];
    std::string stem;
    try {
        stem = output_stem(args, pairs_path);
    } catch (const UsageError& e) {
        err << "ddinfer-rank: " << e.what() << "; " << usage_line;
        return 2;
    }
    std::vector<std::string> call;
    for (const char* option : {"robust", "dint"}) {
        if (args.has(option)) call.insert(call.end(), {std::string("--") + option, args.get(option, "")});
    }
    if (args.has("homotypic-first")) call.push_back("--homotypic-first");
    call.insert(call.end(), {pairs_path, args.positional[1]});
    try {
        protdom network;
        inter_table pint, dint;
        readdata(network, pint, pairs_path, args.positional[1], Streams{out, err}, true);
        construct_dint(network, pint, dint, out);
        const Association assoc = count_association(network, pint, dint);
        LpEvidence lp;
        const CandidateRecords records(network, dint);
        if (args.has("dint")) read_dint_evidence(args.get("dint", ""), network, dint, records, lp);
        if (args.has("robust")) read_robust_evidence(args.get("robust", ""), network, dint, records, lp);
        const RankedTable ranked = rank_candidates(dint, assoc, lp, args.has("homotypic-first"));

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
                                     class_size));
        classes_file.publish();
        file.publish();
        out << preview(network, dint, assoc, lp, ranked, 10);
        err << "wrote " << path << ": " << dint.n << " candidate pairs, " << assoc.modelled
            << " modelled protein pairs, density " << format_number(assoc.rho()) << "\n";
    } catch (const Error& e) {
        err << "ddinfer-rank: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace ddinfer
