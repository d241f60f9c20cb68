#include "core/dint.h"

#include <algorithm>
#include <ostream>
#include <utility>
#include <vector>

namespace ddinfer {

void construct_dint(const protdom& network, inter_table& pint, inter_table& dint, std::ostream& out) {
    index_pint(pint);
    build_dint(network, pint, dint, out);
}

void index_pint(inter_table& pint) {
    // Protein index: a pair met again, in either orientation, names the
    // later record.
    pint.index.clear();
    pint.index.reserve(static_cast<std::size_t>(pint.n));
    for (int k = 0; k < pint.n; ++k) {
        inter& record = pint.list[k];
        pint.index.set(record.a, record.b, k);
        record.active = 1;
    }
}

void build_dint(const protdom& network, const inter_table& pint, inter_table& dint, std::ostream& out) {
    // Numbering, from the protein side of the memberships.
    dint.nnode = network.ndom;
    dint.index.clear();
    std::vector<std::pair<int, int>> pairs;  // by record number
    for (int k = 0; k < pint.n; ++k) {
        const node& p = network.prot[pint.list[k].a];
        const node& q = network.prot[pint.list[k].b];
        for (int u = 0; u < p.n; ++u) {
            const int d1 = p.links[u];
            for (int w = 0; w < q.n; ++w) {
                const int d2 = q.links[w];
                if (dint.index.get(d1, d2) < 0) {
                    dint.index.set(d1, d2, static_cast<int>(pairs.size()));
                    pairs.emplace_back(d1 < d2 ? d1 : d2, d1 < d2 ? d2 : d1);
                }
            }
        }
    }
    dint.n = static_cast<int>(pairs.size());
    dint.list.assign(pairs.size(), inter{});

    // Availability, from the domain side: a candidate {j, i} is available
    // when some member p of j and member q of i form an indexed protein pair
    // whose record is active.
    std::vector<char> available(pairs.size(), 0);
    std::vector<std::vector<int>> domains_of(static_cast<std::size_t>(network.nprot));
    for (int d = 0; d < network.ndom; ++d) {
        const node& domain = network.dom[d];
        for (int m = 0; m < domain.n; ++m) domains_of[domain.links[m]].push_back(d);
    }
    bool sides_agree = true;
    for (int p = 0; p < network.nprot && sides_agree; ++p) {
        const node& protein = network.prot[p];
        sides_agree = std::equal(protein.links.begin(), protein.links.begin() + protein.n, domains_of[p].begin(),
                                 domains_of[p].end());
    }
    if (sides_agree) {
        // Each candidate was met through a protein pair whose index entry
        // names an active record (step one set them all), and the domain
        // side lists the same memberships: every candidate is available.
        std::fill(available.begin(), available.end(), 1);
    } else {
        // Walking the indexed protein pairs once finds every supported
        // candidate without looping over members times members.
        for (int k = 0; k < pint.n; ++k) {
            const inter& record = pint.list[k];
            if (pint.index.get(record.a, record.b) != k || record.active != 1) continue;
            for (int d1 : domains_of[record.a]) {
                for (int d2 : domains_of[record.b]) {
                    const int r = dint.index.get(d1, d2);
                    if (r >= 0) available[r] = 1;
                }
            }
        }
    }

    int nactive = 0;
    for (int r = 0; r < dint.n; ++r) {
        inter& record = dint.list[r];
        record.a = pairs[r].first;
        record.b = pairs[r].second;
        record.value = 0.0;
        record.active = available[r];
        nactive += record.active;
    }
    dint.nactive = nactive;
    out << "Available domain pairs: " << dint.nactive << "\n";
}

}  // namespace ddinfer
