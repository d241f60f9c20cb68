// evidence/: what the evidence for a domain pair is and how good it is,
// above cli/: the association counts, the ranked table of ddinfer-rank,
// calibration against a gold list and the judging of ddinfer-eval.
//
// ddinfer-rank: every candidate domain pair with the evidence for it, best
// first. Four kinds of evidence are combined:
//  - association: how many modelled protein pairs the domain pair could
//    explain (support I) against what chance gives: by default the
//    degree-corrected expectation E as a Poisson upper tail, or (binomial)
//    P(X >= I), X ~ Binomial(N, rho), N the protein pairs that carry it and
//    rho the density of the modelled network;
//  - the programme: the classic solution value, or the pair's frequency
//    across sampled optima (ddinfer-robust).
//  - the proteins themselves: how many proteins carry both domains; two
//    domains found together on a protein are far more often in contact;
//  - the partners: the cosine of the two domains' partner profiles.
// The default order is the weighted rank product of the four;
// `--evidence network` leaves the last two out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

#include "evidence/association.h"
#include "core/network.h"

namespace ddinfer {

// Averaged ranks (1 = best) of items given in best-first order, where
// same(a, b) tells that two neighbours in that order are tied.
template <class Same>
std::vector<double> tied_ranks(const std::vector<int>& order, Same same) {
    std::vector<double> rank(order.size());
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i + 1;
        while (j < order.size() && same(order[i], order[j])) ++j;
        const double mean = (static_cast<double>(i + 1) + static_cast<double>(j)) / 2.0;
        for (std::size_t t = i; t < j; ++t) rank[static_cast<std::size_t>(order[t])] = mean;
        i = j;
    }
    return rank;
}

// The programme's evidence by record; empty vectors when not given.
struct LpEvidence {
    std::vector<double> lp_value;
    std::vector<double> freq;
};

struct RankedTable {
    std::vector<int> order;  // records, best first
    std::vector<double> log_p, log_p_dc, score;  // ln p binomial, ln p degree-corrected
};

// How much each kind of evidence weighs in the score: the score is
// -sum(weight x ln rank).
struct RankWeights {
    double lp = 1.0;
    double association = 1.0;
    double shared = 1.5;
    double partners = 1.0;
};

// "lp=1,association=1,shared=1.5,partners=1", any of the names, in any
// order, each a number of at least 0; the others keep their defaults.
// Throws UsageError naming what is wrong.
RankWeights parse_weights(const std::string& text);
std::string weights_text(const RankWeights& weights);

struct RankOptions {
    bool binomial = false;         // rank the association by the binomial p, not the degree-corrected one
    bool homotypic_first = false;  // pairs of a domain with itself first
    bool shared_first = false;     // then heterotypic pairs whose domains share a protein
    bool network_only = false;     // leave out the ranks of the shared proteins and the partners
    RankWeights weights;
};

// Scores and orders the candidates: the rank product of the LP evidence
// (freq when given, else lp_value), the association (ln p, ties broken by
// I) and, unless network_only, the number of proteins that carry both
// domains (shared); ranks averaged over ties, the score the sum of -ln of
// the ranks. Without LP evidence that factor is left out.
RankedTable rank_candidates(const inter_table& dint, const Association& assoc, const LpEvidence& lp,
                            const RankOptions& options);

constexpr const char* rank_header =
    "domain_a\tdomain_b\thomotypic\tsupport\tpossible\tratio\tp_assoc\tlog10_p\tlp_value\tfreq\tscore\trank\t"
    "class_size\texpected\tlog10_p_dc\tshared_proteins\tpartner_cosine";

// The table's header line and rows, tab-separated; false when a write
// failed.
// class_size by record: how many candidates stand in exactly the same
// programme rows as this one (1 when none other does).
// `first_line`: the line recording the call, written before the header.
// `p_gold`: a last column when not empty (NaN for none).
bool write_rank_table(std::FILE* file, const std::string& first_line, const protdom& network,
                      const inter_table& dint, const Association& assoc, const LpEvidence& lp,
                      const RankedTable& ranked, const std::vector<int>& class_size,
                      const std::vector<double>& p_gold);

// Candidate records by the names of their two domains, in either order;
// the first record of a name pair is kept. One table of domain names (a
// name may stand on several domain lines), the records through the
// candidate table's own index.
class CandidateRecords {
public:
    CandidateRecords(const protdom& network, const inter_table& dint) : dint_(dint) {
        for (int d = 0; d < network.ndom; ++d) domains_[network.dom[d].name].push_back(d);
    }
    int find(const std::string& a, const std::string& b) const {
        const auto x = domains_.find(a), y = domains_.find(b);
        if (x == domains_.end() || y == domains_.end()) return -1;
        int first = -1;
        for (const int i : x->second) {
            for (const int j : y->second) {
                const int r = dint_.index.get(i, j);
                if (r >= 0 && (first < 0 || r < first)) first = r;
            }
        }
        return first;
    }
    // Every record of the name pair (more than one only where a domain
    // name stands on several lines).
    template <class Take>
    void each(const std::string& a, const std::string& b, Take take) const {
        const auto x = domains_.find(a), y = domains_.find(b);
        if (x == domains_.end() || y == domains_.end()) return;
        for (const int i : x->second) {
            for (const int j : y->second) {
                const int r = dint_.index.get(i, j);
                if (r >= 0 && !(a == b && j < i)) take(r);
            }
        }
    }
    // The domains of a name; nullptr when none has it.
    const std::vector<int>* domains(const std::string& name) const {
        const auto it = domains_.find(name);
        return it == domains_.end() ? nullptr : &it->second;
    }

private:
    const inter_table& dint_;
    std::unordered_map<std::string, std::vector<int>> domains_;
};

// Exit statuses: 0 done, 1 bad input or a file that cannot be written, 2 a
// mistake in the call.
int rank_main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
