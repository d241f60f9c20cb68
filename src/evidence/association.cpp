#include "evidence/association.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

    // The degree-corrected expectation: a protein's degree counts its
    // distinct modelled pairs (a self-pair once per end); K_d sums the
    // degrees of d's carriers; E = K_a K_b / 2M, halved for a = b.
    std::vector<std::int64_t> degree(static_cast<std::size_t>(network.nprot), 0);
    for (int k = 0; k < pint.n; ++k) {
        const inter& pair = pint.list[k];
        if (pint.index.get(pair.a, pair.b) != k || domains[pair.a].empty() || domains[pair.b].empty()) continue;
        ++degree[pair.a];
        ++degree[pair.b];
    }
    std::vector<double> weight(static_cast<std::size_t>(network.ndom), 0.0);
    for (int p = 0; p < network.nprot; ++p) {
        for (int d : domains[p]) weight[d] += static_cast<double>(degree[p]);
    }
    a.expected.assign(n, 0.0);
    a.shared.assign(n, 0);
    const double ends = 2.0 * static_cast<double>(a.modelled);
    for (std::size_t r = 0; r < n; ++r) {
        const inter& pair = dint.list[r];
        if (ends > 0) a.expected[r] = weight[pair.a] * weight[pair.b] / ends / (pair.a == pair.b ? 2.0 : 1.0);
        a.shared[r] = pair.a == pair.b ? 0 : both[r];
    }
    return a;
}

std::vector<double> partner_cosine(const protdom& network, const inter_table& pint, const inter_table& dint,
                                   double homotypic) {
    const auto nprot = static_cast<std::size_t>(network.nprot), ndom = static_cast<std::size_t>(network.ndom);
    // Each protein's partners, each distinct pair once.
    std::vector<std::vector<int>> partners(nprot);
    for (int k = 0; k < pint.n; ++k) {
        const inter& pair = pint.list[k];
        if (pint.index.get(pair.a, pair.b) != k) continue;
        partners[pair.a].push_back(pair.b);
        if (pair.b != pair.a) partners[pair.b].push_back(pair.a);
    }
    // Each domain's profile, sparse and sorted by protein, and its norm.
    std::vector<std::vector<std::pair<int, double>>> profile(ndom);
    std::vector<double> norm(ndom, 0.0), dense(nprot, 0.0);
    std::vector<int> touched, members;
    for (std::size_t d = 0; d < ndom; ++d) {
        const node& domain = network.dom[d];
        members.assign(domain.links.begin(), domain.links.begin() + domain.n);
        std::sort(members.begin(), members.end());
        members.erase(std::unique(members.begin(), members.end()), members.end());
        for (const int q : members) {
            for (const int p : partners[q]) {
                if (dense[p] == 0) touched.push_back(p);
                dense[p] += 1;
            }
        }
        std::sort(touched.begin(), touched.end());
        for (const int p : touched) {
            profile[d].emplace_back(p, dense[p]);
            norm[d] += dense[p] * dense[p];
            dense[p] = 0;
        }
        norm[d] = std::sqrt(norm[d]);
        touched.clear();
    }
    // Each heterotypic candidate once, through the domain of the larger
    // profile spread out densely and the smaller one walked.
    const auto n = static_cast<std::size_t>(dint.n);
    std::vector<double> cosine(n, 0.0);
    std::vector<std::vector<int>> by_domain(ndom);
    for (std::size_t r = 0; r < n; ++r) {
        const inter& pair = dint.list[r];
        if (pair.a == pair.b) {
            cosine[r] = homotypic;
            continue;
        }
        const bool a_larger = profile[pair.a].size() >= profile[pair.b].size();
        by_domain[a_larger ? pair.a : pair.b].push_back(static_cast<int>(r));
    }
    for (std::size_t d = 0; d < ndom; ++d) {
        if (by_domain[d].empty() || norm[d] == 0) continue;
        for (const auto& [p, count] : profile[d]) dense[p] = count;
        for (const int r : by_domain[d]) {
            const inter& pair = dint.list[r];
            const int other = pair.a == static_cast<int>(d) ? pair.b : pair.a;
            if (norm[other] == 0) continue;
            double dot = 0;
            for (const auto& [p, count] : profile[other]) dot += dense[p] * count;
            cosine[r] = dot / (norm[d] * norm[other]);
        }
        for (const auto& [p, count] : profile[d]) dense[p] = 0;
    }
    return cosine;
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

double log_poisson_upper(std::int64_t k, double mean) {
    if (k <= 0) return 0.0;
    if (mean <= 0.0) return -std::numeric_limits<double>::infinity();
    const double kd = static_cast<double>(k);
    auto log_term = [&](double j) { return j * std::log(mean) - mean - std::lgamma(j + 1); };
    // As for the binomial: from the term nearest the mean outward.
    double sum = 1.0, term = 1.0;
    if (kd > mean) {
        for (double j = kd;; j += 1) {
            term *= mean / (j + 1);
            sum += term;
            if (term < sum * 1e-17) break;
        }
        return log_term(kd) + std::log(sum);
    }
    for (double j = kd - 1; j > 0; j -= 1) {
        term *= j / mean;
        sum += term;
        if (term < sum * 1e-17) break;
    }
    const double lower = std::exp(log_term(kd - 1)) * sum;
    return std::log1p(-std::min(lower, 1.0));
}

}  // namespace ddinfer
