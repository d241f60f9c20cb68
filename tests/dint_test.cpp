#include "core/dint.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace ddinfer::test {
namespace {

struct Candidate {
    int a, b, active;
    bool operator==(const Candidate&) const = default;
};

std::vector<Candidate> candidates(const inter_table& dint) {
    std::vector<Candidate> list;
    for (int r = 0; r < dint.n; ++r) {
        list.push_back({dint.list[r].a, dint.list[r].b, dint.list[r].active});
        EXPECT_EQ(dint.list[r].value, 0.0);
        EXPECT_EQ(dint.index.get(dint.list[r].a, dint.list[r].b), r);
        EXPECT_EQ(dint.index.get(dint.list[r].b, dint.list[r].a), r);
    }
    return list;
}

using Candidates = std::vector<Candidate>;

TEST(ConstructDintTest, NumbersCandidatesInTheOrderTheInteractionListMeetsThem) {
    const Net net = make_net("2\nP0 P1\nP2 P3\n", "3\nD0: P2 P3\nD1: P1\nD2: P0\n");
    EXPECT_EQ(candidates(net.dint), (Candidates{{1, 2, 1}, {0, 0, 1}}));
    EXPECT_EQ(net.dint.nactive, 2);
    EXPECT_EQ(net.dint.nnode, 3);
    EXPECT_EQ(net.dint.index.get(0, 1), -1);
    EXPECT_EQ(net.out,
              "Interacting protein pairs: 2\nTotal proteins: 4\nTotal domains: 3\nAvailable domain pairs: 2\n");
}

TEST(ConstructDintTest, ASelfPairedProteinMeetsEachPairOnce) {
    // P carries domains 4 and 7; the visit of (7, 4) finds the number of (4, 7).
    const Net net = make_net("2\nP P\nQ R\n", "8\nA:Q\nB:Q\nC:Q\nD:Q\nE:P\nF:Q\nG:Q\nH:P\n");
    EXPECT_EQ(candidates(net.dint), (Candidates{{4, 4, 1}, {4, 7, 1}, {7, 7, 1}}));
}

TEST(ConstructDintTest, ARepeatedProteinPairIndexesItsLaterRecordAndAddsNoCandidate) {
    const Net net = make_net("4\nP Q\nR S\nQ P\nS T\n", "2\nA: P R\nB: Q\n");
    EXPECT_EQ(net.pint.index.get(0, 1), 2);
    EXPECT_EQ(net.pint.index.get(1, 0), 2);
    EXPECT_EQ(net.pint.index.get(0, 2), -1);
    for (int k = 0; k < net.pint.n; ++k) EXPECT_EQ(net.pint.list[k].active, 1);
    // S and T carry no domain: R S and S T add nothing.
    EXPECT_EQ(candidates(net.dint), (Candidates{{0, 1, 1}}));
}

TEST(ConstructDintTest, NoDomainsGiveNoCandidates) {
    const Net net = make_net("2\nP Q\nQ R\n", "1\nA: X\n");
    EXPECT_EQ(net.dint.n, 0);
    EXPECT_EQ(net.dint.nactive, 0);
    EXPECT_EQ(net.out.substr(net.out.rfind("Available")), "Available domain pairs: 0\n");
}

TEST(ConstructDintTest, AvailabilityFollowsTheDomainSideOfTheMemberships) {
    // The proteins' lists say P carries A, but A's member list lost P: the
    // candidate is numbered from the protein side and found unavailable.
    Net net = make_net("2\nP Q\nR S\n", "2\nA: P R\nB: Q S\n", false);
    net.network.dom[0].links = {2};
    net.network.dom[0].n = 1;
    std::ostringstream out;
    construct_dint(net.network, net.pint, net.dint, out);
    EXPECT_EQ(candidates(net.dint), (Candidates{{0, 1, 1}}));  // R S still supports (A, B)
    net.network.dom[1].links = {1};
    net.network.dom[1].n = 1;
    construct_dint(net.network, net.pint, net.dint, out);
    EXPECT_EQ(candidates(net.dint), (Candidates{{0, 1, 0}}));  // R with Q is no protein pair
    EXPECT_EQ(net.dint.nactive, 0);
    EXPECT_EQ(out.str(), "Available domain pairs: 1\nAvailable domain pairs: 0\n");
}

}  // namespace
}  // namespace ddinfer::test
