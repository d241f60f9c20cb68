// ddinfer-rank: every candidate domain pair with the evidence for it, best
// first. Two kinds of evidence are combined:
//  - association: how many modelled protein pairs the domain pair could
//    explain (support I) against how many protein pairs carry it at all
//    (possible N), as a binomial upper tail P(X >= I), X ~ Binomial(N, rho),
//    rho the density of the modelled network;
//  - the programme: the classic solution value, or the pair's frequency
//    across sampled optima (ddinfer-robust).
// The default order is the rank product of the two.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

#include "network.h"

namespace ddinfer {

// The association counts of every candidate record of dint.
struct Association {
    std::vector<std::int64_t> support;   // I, by record
    std::vector<std::int64_t> possible;  // N, by record
    std::int64_t modelled = 0;           // distinct protein pairs, both with a domain
    std::int64_t universe = 0;           // possible pairs of proteins with a domain
    bool self_pairs = false;             // a modelled pair is a self-pair
    double rho() const { return universe == 0 ? 0.0 : static_cast<double>(modelled) / static_cast<double>(universe); }
};

// Counts I and N for every candidate in time linear in the memberships,
// the protein pairs and the candidates (N from member counts and the
// number of proteins that carry both domains, never by listing pairs).
Association count_association(const protdom& network, const inter_table& pint, const inter_table& dint);

// ln P(X >= k) for X ~ Binomial(n, rho), accurate far into the tail.
double log_binomial_upper(std::int64_t n, std::int64_t k, double rho);

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
    std::vector<double> log_p, score;
};

// Scores and orders the candidates: the rank product of the LP evidence
// (freq when given, else lp_value) and the association (ln p, ties broken
// by I), ranks averaged over ties; ln p alone when there is no LP evidence.
RankedTable rank_candidates(const inter_table& dint, const Association& assoc,
                            const LpEvidence& lp, bool homotypic_first);

constexpr const char* rank_header =
    "domain_a\tdomain_b\thomotypic\tsupport\tpossible\tratio\tp_assoc\tlog10_p\tlp_value\tfreq\tscore\trank\t"
    "class_size";

// The table's header line and rows, tab-separated; false when a write
// failed.
// class_size by record: how many candidates stand in exactly the same
// programme rows as this one (1 when none other does).
// `first_line`: the line recording the call, written before the header.
bool write_rank_table(std::FILE* file, const std::string& first_line, const protdom& network,
                      const inter_table& dint, const Association& assoc, const LpEvidence& lp,
                      const RankedTable& ranked, const std::vector<int>& class_size);

// Exit statuses: 0 done, 1 bad input or a file that cannot be written, 2 a
// mistake in the call.
int rank_main(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace ddinfer
