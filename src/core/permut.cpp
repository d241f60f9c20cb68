#include "core/permut.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace ddinfer {
namespace {

constexpr std::int64_t rand_max = 2147483647;

bool held_before(const node& protein, int slots, int d) {
    return std::find(protein.links.begin(), protein.links.begin() + slots, d) != protein.links.begin() + slots;
}

bool too_many_slots(const protdom& network) {
    for (int i = 0; i < network.nprot; ++i) {
        if (network.prot[i].n > network.ndom) return true;
    }
    return false;
}

// Draws a domain that none of the protein's first `slots` slots holds.
int draw_new_domain(const protdom& network, const node& protein, int slots, RandomSource& random) {
    int d = 0;
    do {
        d = rand_int(network.ndom, random);
    } while (held_before(protein, slots, d));
    return d;
}

}  // namespace

std::int32_t StdRand::next() { return static_cast<std::int32_t>(std::rand()); }

SeededRandom::SeededRandom(std::uint64_t seed, std::uint64_t run) {
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                           static_cast<std::uint32_t>(run), static_cast<std::uint32_t>(run >> 32)};
    engine_.seed(sequence);
}

std::int32_t SeededRandom::next() { return static_cast<std::int32_t>(engine_() >> 1); }

int rand_int(int n, RandomSource& random) {
    if (n <= 0) return 0;
    const std::int64_t r = random.next();
    const std::int64_t q = r * n / rand_max;
    return q >= n ? n - 1 : static_cast<int>(q);
}

int permut_test1(protdom& network, RandomSource& random) {
    if (too_many_slots(network)) return 1;
    std::vector<std::vector<int>> members(static_cast<std::size_t>(network.ndom));
    for (int i = 0; i < network.nprot; ++i) {
        node& protein = network.prot[i];
        for (int j = 0; j < protein.n; ++j) {
            const int d = draw_new_domain(network, protein, j, random);
            protein.links[j] = d;
            members[d].push_back(i);
        }
    }
    for (int d = 0; d < network.ndom; ++d) {
        network.dom[d].links = std::move(members[d]);
        network.dom[d].n = static_cast<int>(network.dom[d].links.size());
    }
    return 0;
}

int permut_test2(protdom& network, RandomSource& random) {
    if (too_many_slots(network)) return 1;
    std::int64_t slots = 0, room = 0;
    for (int i = 0; i < network.nprot; ++i) slots += network.prot[i].n;
    for (int d = 0; d < network.ndom; ++d) room += network.dom[d].n;
    if (room < slots) return 1;

    const auto ndom = static_cast<std::size_t>(network.ndom);
    std::vector<int> capacity(ndom, 0);
    std::vector<int> placed(ndom, 0);
    for (int d = 0; d < network.ndom; ++d) {
        capacity[d] = network.dom[d].n;
        network.dom[d].links.resize(static_cast<std::size_t>(capacity[d]));
    }
    for (int i = 0; i < network.nprot; ++i) {
        node& protein = network.prot[i];
        int kept = 0;  // slots placed so far; a dropped slot closes up
        for (int j = 0; j < protein.n; ++j) {
            int d = draw_new_domain(network, protein, kept, random);
            if (placed[d] == capacity[d]) {
                // Search forward, cyclically, for room the protein lacks.
                int steps = 0;
                while (steps < network.ndom && (placed[d] == capacity[d] || held_before(protein, kept, d))) {
                    d = d + 1 == network.ndom ? 0 : d + 1;
                    ++steps;
                }
                if (steps == network.ndom) continue;  // nowhere to go: drop the slot
            }
            protein.links[kept++] = d;
            network.dom[d].links[placed[d]++] = i;
        }
        protein.n = kept;
        protein.links.resize(static_cast<std::size_t>(kept));
    }
    for (int d = 0; d < network.ndom; ++d) {
        network.dom[d].n = placed[d];
        network.dom[d].links.resize(static_cast<std::size_t>(placed[d]));
    }
    return 0;
}

int permut_test3(const protdom& network, inter_table& pint, RandomSource& random) {
    auto carries = [&](int p) { return network.prot[p].n > 0; };
    int m = 0;
    for (int k = 0; k < pint.n; ++k) {
        if (carries(pint.list[k].a) && carries(pint.list[k].b)) ++m;
    }
    std::int64_t with_domains = 0;
    for (int p = 0; p < network.nprot; ++p) with_domains += carries(p);
    if (m > with_domains * (with_domains + 1) / 2) return 1;

    PairIndex drawn;  // the pairs accepted so far, either orientation
    drawn.reserve(static_cast<std::size_t>(m));
    for (int j = 0; j < m; ++j) {
        int x = 0, y = 0;
        do {
            x = rand_int(network.nprot, random);
            y = rand_int(network.nprot, random);
        } while (drawn.get(x, y) >= 0 || !carries(x) || !carries(y));
        drawn.set(x, y, j);
        pint.list[j].a = x;
        pint.list[j].b = y;
    }
    pint.n = m;
    return 0;
}

}  // namespace ddinfer
