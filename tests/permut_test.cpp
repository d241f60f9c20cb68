#include "core/permut.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>

#include "core/lp_out.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

// Hands out the draws a test scripts, and fails the test when it runs dry.
class ScriptedDraws : public RandomSource {
public:
    ScriptedDraws(std::initializer_list<std::int32_t> draws) : draws_(draws) {}
    std::int32_t next() override {
        ++used;
        if (draws_.empty()) {
            ADD_FAILURE() << "more draws than scripted";
            return 0;
        }
        const std::int32_t r = draws_.front();
        draws_.pop_front();
        return r;
    }
    std::size_t left() const { return draws_.size(); }
    int used = 0;

private:
    std::deque<std::int32_t> draws_;
};

// The smallest draw that rand_int(n) turns into d.
std::int32_t r_for(int d, int n) {
    return d == 0 ? 0 : static_cast<std::int32_t>(std::int64_t{d} * 2147483647 / n + 1);
}

using Ints = std::vector<int>;

TEST(RandIntTest, FloorsTheScaledDrawAndKeepsTheTopValueInRange) {
    ScriptedDraws none{};
    EXPECT_EQ(rand_int(0, none), 0);
    EXPECT_EQ(rand_int(-3, none), 0);
    EXPECT_EQ(none.used, 0);

    const std::int32_t r[] = {0, 1073741823, 1073741824, 2147483647};
    struct Case {
        int bound;
        int expected[4];
    };
    for (const Case& c : {Case{1, {0, 0, 0, 0}}, Case{2, {0, 0, 1, 1}}, Case{10, {0, 4, 5, 9}}}) {
        for (int i = 0; i < 4; ++i) {
            ScriptedDraws one{r[i]};
            EXPECT_EQ(rand_int(c.bound, one), c.expected[i]) << "bound " << c.bound << " r " << r[i];
            EXPECT_EQ(one.used, 1);
        }
    }
}

TEST(SeededRandomTest, OneSequencePerSeedAndRun) {
    SeededRandom a(1, 5), b(1, 5), c(1, 6), d(2, 5);
    bool differs_c = false, differs_d = false;
    for (int i = 0; i < 100; ++i) {
        const std::int32_t x = a.next();
        EXPECT_EQ(x, b.next());
        EXPECT_GE(x, 0);
        differs_c |= x != c.next();
        differs_d |= x != d.next();
    }
    EXPECT_TRUE(differs_c);
    EXPECT_TRUE(differs_d);
}

TEST(PermutTest1Test, RedrawsARepeatedDomainAndGrowsMemberLists) {
    // P0 carries A and B, Q1 nothing, R2 A, S3 C.
    Net net = make_net("2\nP Q\nR S\n", "3\nA: P R\nB: P\nC: S\n", false);
    ScriptedDraws draws{r_for(2, 3), r_for(2, 3), r_for(0, 3), r_for(1, 3), r_for(1, 3)};
    ASSERT_EQ(permut_test1(net.network, draws), 0);
    EXPECT_EQ(draws.left(), 0u);
    const protdom& g = net.network;
    EXPECT_EQ(g.prot[0].links, (Ints{2, 0}));
    EXPECT_EQ(g.prot[1].n, 0);
    EXPECT_EQ(g.prot[2].links, (Ints{1}));
    EXPECT_EQ(g.prot[3].links, (Ints{1}));
    EXPECT_EQ(g.dom[0].links, (Ints{0}));
    EXPECT_EQ(g.dom[1].links, (Ints{2, 3}));  // B had one member, now two
    EXPECT_EQ(g.dom[1].n, 2);
    EXPECT_EQ(g.dom[2].links, (Ints{0}));
    EXPECT_EQ(g.dom[1].link_names, (std::vector<std::string>{"P"}));  // names are not shuffled
}

TEST(PermutTest2Test, AFullDomainSendsTheSlotForwardCyclically) {
    // A holds two members, B and C one each; every draw asks for C.
    Net net = make_net("2\nP Q\nR S\n", "3\nA: P Q\nB: R\nC: S\n", false);
    const std::int32_t c = r_for(2, 3);
    ScriptedDraws draws{c, c, c, c};
    ASSERT_EQ(permut_test2(net.network, draws), 0);
    EXPECT_EQ(draws.left(), 0u);
    const protdom& g = net.network;
    EXPECT_EQ(g.prot[0].links, (Ints{2}));  // C had room
    EXPECT_EQ(g.prot[1].links, (Ints{0}));  // C full: wraps to A
    EXPECT_EQ(g.prot[2].links, (Ints{0}));
    EXPECT_EQ(g.prot[3].links, (Ints{1}));  // C and A full: on to B
    EXPECT_EQ(g.dom[0].links, (Ints{1, 2}));
    EXPECT_EQ(g.dom[1].links, (Ints{3}));
    EXPECT_EQ(g.dom[2].links, (Ints{0}));
}

TEST(PermutTest2Test, ASearchEndingAtAHeldDomainGoesOnAndDropsTheSlotWhenNothingIsLeft) {
    // Q0 on A, R1 on C, P2 on A and B; A has two places, B and C one.
    Net net = make_net("2\nQ R\nP S\n", "3\nA: P Q\nB: P\nC: R\n", false);
    ScriptedDraws draws{r_for(2, 3), r_for(1, 3), r_for(2, 3), r_for(1, 3)};
    ASSERT_EQ(permut_test2(net.network, draws), 0);
    EXPECT_EQ(draws.left(), 0u);
    const protdom& g = net.network;
    EXPECT_EQ(g.prot[0].links, (Ints{2}));
    EXPECT_EQ(g.prot[1].links, (Ints{1}));
    // P's second slot finds only A, which P holds already: the slot goes.
    EXPECT_EQ(g.prot[2].links, (Ints{0}));
    EXPECT_EQ(g.prot[2].n, 1);
    EXPECT_EQ(g.dom[0].links, (Ints{2}));
    EXPECT_EQ(g.dom[0].n, 1);
    EXPECT_EQ(g.dom[1].links, (Ints{1}));
    EXPECT_EQ(g.dom[2].links, (Ints{0}));
}

TEST(PermutTest3Test, RedrawsBothProteinsOnARepeatOrAProteinWithoutDomains) {
    // P0, Q1, R2 carry A; S3 nothing: P Q and Q R are modelled, R S is not.
    Net net = make_net("3\nP Q\nQ R\nR S\n", "1\nA: P Q R\n", false);
    const int n = 4;
    ScriptedDraws draws{r_for(3, n), r_for(0, n), r_for(0, n), r_for(1, n),
                        r_for(1, n), r_for(0, n), r_for(2, n), r_for(2, n)};
    ASSERT_EQ(permut_test3(net.network, net.pint, draws), 0);
    EXPECT_EQ(draws.left(), 0u);
    EXPECT_EQ(net.pint.n, 2);
    EXPECT_EQ(net.pint.list[0].a, 0);
    EXPECT_EQ(net.pint.list[0].b, 1);
    EXPECT_EQ(net.pint.list[1].a, 2);  // a protein paired with itself
    EXPECT_EQ(net.pint.list[1].b, 2);
    EXPECT_EQ(net.pint.list[1].name_a, "Q");  // only a and b change
    EXPECT_EQ(net.pint.list[2].a, 2);         // beyond the count, untouched
    EXPECT_EQ(net.pint.list[2].b, 3);
}

TEST(PermutTest3Test, NoModelledPairsDrawNothing) {
    Net net = make_net("2\nP Q\nR S\n", "1\nA: P R\n", false);
    ScriptedDraws none{};
    ASSERT_EQ(permut_test3(net.network, net.pint, none), 0);
    EXPECT_EQ(net.pint.n, 0);
    EXPECT_EQ(none.used, 0);
}

TEST(PermutRefusalTest, InputsThatWouldLoopForeverAreRefusedUntouched) {
    // P carries A twice, and there is only one domain.
    Net twice = make_net("1\nP Q\n", "1\nA: P P Q\n", false);
    const protdom before = twice.network;
    ScriptedDraws none{};
    EXPECT_EQ(permut_test1(twice.network, none), 1);
    EXPECT_EQ(permut_test2(twice.network, none), 1);
    EXPECT_EQ(twice.network.prot[0].links, before.prot[0].links);
    EXPECT_EQ(twice.network.dom[0].links, before.dom[0].links);

    // Fewer member places than protein slots.
    Net short_room = make_net("1\nP Q\n", "2\nA: P\nB: Q\n", false);
    short_room.network.dom[1].n = 0;
    EXPECT_EQ(permut_test2(short_room.network, none), 1);

    // Four pairs over P and Q, which make only three distinct pairs.
    Net crowded = make_net("4\nP Q\nP Q\nQ P\nP P\n", "1\nA: P Q\n", false);
    EXPECT_EQ(permut_test3(crowded.network, crowded.pint, none), 1);
    EXPECT_EQ(crowded.pint.n, 4);
    EXPECT_EQ(none.used, 0);
    // Exactly three: every distinct pair, self-pairs included, is drawn.
    Net full = make_net("3\nP Q\nP Q\nP P\n", "1\nA: P Q\n", false);
    SeededRandom random(3, 1);
    ASSERT_EQ(permut_test3(full.network, full.pint, random), 0);
    std::set<std::pair<int, int>> drawn;
    for (const inter& pair : full.pint.list) drawn.emplace(std::min(pair.a, pair.b), std::max(pair.a, pair.b));
    EXPECT_EQ(drawn, (std::set<std::pair<int, int>>{{0, 0}, {0, 1}, {1, 1}}));
}

// A random network: 400 proteins, a quarter without domains, 1 to 4
// distinct domains each out of 80, and 1500 pairs.
Net random_net(std::uint64_t seed) {
    SeededRandom g(seed, 0);
    std::string pairs = "1500\n";
    for (int k = 0; k < 1500; ++k) pairs += numbered("p", rand_int(400, g), numbered(" p", rand_int(400, g), "\n"));
    std::map<int, std::string> lines;
    for (int p = 0; p < 400; ++p) {
        if (p % 4 == 0) continue;
        std::set<int> domains;
        const int count = 1 + rand_int(4, g);
        while (static_cast<int>(domains.size()) < count) domains.insert(rand_int(80, g));
        for (int d : domains) lines[d] += numbered(" p", p, "");
    }
    std::string text = numbered("", static_cast<long>(lines.size()), "\n");
    for (const auto& [d, members] : lines) text += numbered("D", d, ":" + members + "\n");
    return make_net(pairs, text, false);
}

// Both sides of every membership agree, and proteins hold distinct domains.
void expect_consistent(const protdom& g) {
    std::multiset<std::pair<int, int>> from_proteins, from_domains;
    for (int p = 0; p < g.nprot; ++p) {
        ASSERT_EQ(static_cast<int>(g.prot[p].links.size()), g.prot[p].n);
        const std::set<int> distinct(g.prot[p].links.begin(), g.prot[p].links.end());
        EXPECT_EQ(static_cast<int>(distinct.size()), g.prot[p].n) << "protein " << p;
        for (int d : g.prot[p].links) from_proteins.emplace(p, d);
    }
    for (int d = 0; d < g.ndom; ++d) {
        for (int m = 0; m < g.dom[d].n; ++m) from_domains.emplace(g.dom[d].links[m], d);
    }
    EXPECT_EQ(from_proteins, from_domains);
}

class ShuffleInvariantsTest : public TempDirTest {
protected:
    // The shuffled network still yields a programme with every candidate
    // available.
    void expect_programme(Net& net) {
        std::ostringstream out;
        construct_dint(net.network, net.pint, net.dint, out);
        EXPECT_EQ(net.dint.nactive, net.dint.n);
        EXPECT_EQ(LP_out(net.network, net.pint, net.dint, path("s.lp").string(), 0.1f), 0);
    }
};

TEST_F(ShuffleInvariantsTest, DomainShufflesKeepEachProteinsCount) {
    for (std::uint64_t run = 1; run <= 5; ++run) {
        Net net = random_net(run);
        const protdom before = net.network;
        SeededRandom g(42, run);
        ASSERT_EQ(permut_test1(net.network, g), 0);
        for (int p = 0; p < before.nprot; ++p) EXPECT_EQ(net.network.prot[p].n, before.prot[p].n);
        expect_consistent(net.network);
        expect_programme(net);

        Net net2 = random_net(run);
        ASSERT_EQ(permut_test2(net2.network, g), 0);
        bool dropped = false;
        for (int p = 0; p < before.nprot; ++p) dropped |= net2.network.prot[p].n != before.prot[p].n;
        if (!dropped) {
            for (int d = 0; d < before.ndom; ++d) EXPECT_EQ(net2.network.dom[d].n, before.dom[d].n);
        }
        expect_consistent(net2.network);
        expect_programme(net2);
    }
}

TEST_F(ShuffleInvariantsTest, ListShuffleKeepsTheModelledPairCount) {
    for (std::uint64_t run = 1; run <= 5; ++run) {
        Net net = random_net(run);
        const protdom& g = net.network;
        int modelled = 0;
        for (int k = 0; k < net.pint.n; ++k)
            modelled += g.prot[net.pint.list[k].a].n > 0 && g.prot[net.pint.list[k].b].n > 0;
        SeededRandom random(7, run);
        ASSERT_EQ(permut_test3(net.network, net.pint, random), 0);
        EXPECT_EQ(net.pint.n, modelled);
        std::set<std::pair<int, int>> seen;
        for (int k = 0; k < net.pint.n; ++k) {
            const inter& record = net.pint.list[k];
            EXPECT_GT(g.prot[record.a].n, 0);
            EXPECT_GT(g.prot[record.b].n, 0);
            EXPECT_TRUE(seen.emplace(std::min(record.a, record.b), std::max(record.a, record.b)).second);
        }
        expect_programme(net);
    }
}

}  // namespace
}  // namespace ddinfer::test
