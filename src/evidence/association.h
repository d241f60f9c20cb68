// How strongly two domains go together across the interaction network,
// under two models of chance:
//  - binomial: every pair of proteins with a domain is as likely to
//    interact (density rho); support I out of possible N pairs;
//  - degree-corrected: a pair of proteins interacts in proportion to how
//    many interactions each has, so that domains on hub proteins do not
//    look associated with everything; support I against the expected
//    E = K_a K_b / 2M (halved for a = b), K_d the summed degrees of d's
//    carriers and M the modelled pairs, as a Poisson upper tail.
#pragma once

#include <cstdint>
#include <vector>

#include "core/network.h"

namespace ddinfer {

// The association counts of every candidate record of dint.
struct Association {
    std::vector<std::int64_t> support;   // I, by record
    std::vector<std::int64_t> possible;  // N, by record
    std::vector<double> expected;        // E, by record
    std::vector<std::int64_t> shared;    // proteins carrying both domains (0 for a = b), by record
    std::vector<double> partner_cosine;  // by record, when computed (partner_cosine below)
    std::int64_t modelled = 0;           // distinct protein pairs, both with a domain
    std::int64_t universe = 0;           // possible pairs of proteins with a domain
    bool self_pairs = false;             // a modelled pair is a self-pair
    double rho() const { return universe == 0 ? 0.0 : static_cast<double>(modelled) / static_cast<double>(universe); }
};

// Counts I, N, E and the shared proteins of every candidate in time linear
// in the memberships, the protein pairs and the candidates (N from member
// counts and the number of proteins that carry both domains, never by
// listing pairs).
Association count_association(const protdom& network, const inter_table& pint, const inter_table& dint);

// How alike the interaction partners of two domains are: a domain's
// profile counts, for every protein p, the proteins carrying the domain that
// interact with p (each distinct protein pair once, a protein with itself
// once); the similarity of two domains is the cosine of their profiles, by
// record. Two domains whose proteins meet the same partners are far more
// often in contact. A domain with itself gets `homotypic` (its cosine is 1).
std::vector<double> partner_cosine(const protdom& network, const inter_table& pint, const inter_table& dint,
                                   double homotypic = 1.0);

// ln P(X >= k) for X ~ Binomial(n, rho), accurate far into the tail.
double log_binomial_upper(std::int64_t n, std::int64_t k, double rho);

// ln P(X >= k) for X ~ Poisson(mean), accurate far into the tail.
double log_poisson_upper(std::int64_t k, double mean);

}  // namespace ddinfer
