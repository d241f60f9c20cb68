#include "evidence/rank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "cli/cli.h"
#include "evidence/association.h"
#include "evidence/calibrate.h"
#include "solve/clp_inprocess.h"
#include "evidence/evaluate.h"
#include "report/report_charts.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

// Proteins A..F; F carries no domain, A is named twice on X's line. The list
// repeats A-B reversed and holds the self-pair A-A. Distinct modelled pairs:
// {A,B} {A,C} {A,A} {C,D}; five proteins carry a domain, so with self-pairs
// there are 5*4/2 + 5 = 15 possible pairs and rho = 4/15.
const char* const pairs = "6\nA B\nB A\nA C\nA A\nC D\nE F\n";
const char* const domains = "3\nX: A C A\nY: B C D\nZ: E\n";

TEST(RankTest, SupportAndPossiblePairsCountDistinctProteinPairs) {
    const Net net = make_net(pairs, domains);
    const Association a = count_association(net.network, net.pint, net.dint);
    ASSERT_EQ(net.dint.n, 3);  // {X,Y}, {X,X}, {Y,Y} in that order
    EXPECT_EQ(a.modelled, 4);
    EXPECT_EQ(a.universe, 15);
    EXPECT_TRUE(a.self_pairs);
    // {X,Y}: A-B, A-C, C-D; {X,X}: A-C, A-A; {Y,Y}: C-D.
    EXPECT_EQ(a.support, (std::vector<std::int64_t>{3, 2, 1}));
    // {X,Y}: {A,B} {A,C} {A,D} {C,B} {C,D} and the self-pair of C, which
    // carries both; {X,X}: {A,C}, {A,A}, {C,C}; {Y,Y}: 3 pairs, 3 self-pairs.
    EXPECT_EQ(a.possible, (std::vector<std::int64_t>{6, 3, 6}));
    // Degrees A 4 (the self-pair once per end), B 1, C 2, D 1; E's pair has
    // no domain on F. K_X = 6, K_Y = 4, 2M = 8. C carries X and Y.
    EXPECT_EQ(a.expected, (std::vector<double>{3, 2.25, 1}));
    EXPECT_EQ(a.shared, (std::vector<std::int64_t>{1, 0, 0}));

    // Without the self-pair, no self-pair counts anywhere.
    const Net plain = make_net("5\nA B\nB A\nA C\nC D\nE F\n", domains);
    const Association b = count_association(plain.network, plain.pint, plain.dint);
    EXPECT_EQ(b.modelled, 3);
    EXPECT_EQ(b.universe, 10);
    EXPECT_EQ(b.support, (std::vector<std::int64_t>{3, 1, 1}));
    EXPECT_EQ(b.possible, (std::vector<std::int64_t>{5, 1, 3}));
    // Degrees A 2, B 1, C 2, D 1: K_X = K_Y = 4, 2M = 6.
    EXPECT_EQ(b.expected, (std::vector<double>{16.0 / 6, 16.0 / 12, 16.0 / 12}));
}

TEST(RankTest, PoissonTailMatchesAnExactSumFromTheBulkToFarTails) {
    // ln P(X >= k) by a long-double sum of the terms from k upward.
    auto exact = [](std::int64_t k, long double mean) {
        long double sum = 0;
        for (std::int64_t j = k; j < k + 4000; ++j) {
            sum += std::exp(static_cast<long double>(j) * std::log(mean) - mean - std::lgamma(static_cast<long double>(j) + 1));
        }
        return static_cast<double>(std::log(sum));
    };
    const std::pair<std::int64_t, double> cases[] = {{1, 0.5}, {3, 0.5}, {4, 5},   {5, 5},     {6, 5},
                                                     {30, 5}, {90, 100}, {100, 100}, {130, 100}, {700, 50},
                                                     {2, 1e-3}};
    for (const auto& [k, mean] : cases) {
        const double want = exact(k, mean);
        EXPECT_NEAR(log_poisson_upper(k, mean), want, 1e-9 * std::max(1.0, std::fabs(want))) << k << " " << mean;
    }
    EXPECT_EQ(log_poisson_upper(0, 3.0), 0.0);
    EXPECT_EQ(log_poisson_upper(1, 0.0), -INFINITY);
    // Far below double's smallest number, still finite in log space.
    EXPECT_NEAR(log_poisson_upper(1500, 2.0), exact(1500, 2.0), 1e-6);
}

// The fit at a score is the step of the highest fitted score not above
// it, the lowest step below them all; the halves follow the seed.
TEST(CalibrateTest, StepsAndHalves) {
    const std::vector<double> x{1, 2, 3}, fit{0.1, 0.2, 0.3};
    EXPECT_EQ(isotonic_predict(x, fit, 0.5), 0.1);
    EXPECT_EQ(isotonic_predict(x, fit, 2.5), 0.2);
    EXPECT_EQ(isotonic_predict(x, fit, 3.0), 0.3);
    EXPECT_EQ(isotonic_predict(x, fit, 9.0), 0.3);
    int differ = 0, in_one = 0;
    for (int d = 0; d < 40; ++d) {
        differ += domain_half(numbered("PF", d, ""), 1) != domain_half(numbered("PF", d, ""), 2);
        in_one += domain_half(numbered("PF", d, ""), 1);
    }
    EXPECT_GT(differ, 5);
    EXPECT_GT(in_one, 5);
    EXPECT_LT(in_one, 35);
}

TEST(CalibrateTest, IsotonicFitPoolsAdjacentViolators) {
    EXPECT_EQ(isotonic_fit({1, 3, 2, 4, 3, 5}, {1, 1, 1, 1, 1, 1}), (std::vector<double>{1, 2.5, 2.5, 3.5, 3.5, 5}));
    // Weighted: 1 then 0 (weight 2) pool to 1/3, then 0 pulls to 1/4.
    EXPECT_EQ(isotonic_fit({0, 1, 0, 0, 1}, {1, 1, 2, 1, 1}), (std::vector<double>{0, 0.25, 0.25, 0.25, 1}));
    EXPECT_EQ(isotonic_fit({2, 1}, {3, 1}), (std::vector<double>{1.75, 1.75}));
    // Blocks of weight 1, 2 and 1 (0, 0.25 pooled of 0.5 and 0, 1): with a
    // minimum of 2 the top block joins the one below, (0.5 + 0 + 1) / 3;
    // the lowest, of weight 1, then joins it too. Blocks of weight 2 each
    // stay as they are.
    EXPECT_EQ(isotonic_fit({0, 0.5, 0, 1}, {1, 1, 1, 1}, 2), (std::vector<double>{0.375, 0.375, 0.375, 0.375}));
    EXPECT_EQ(isotonic_fit({0, 0.5, 0, 1}, {2, 1, 1, 2}, 2), (std::vector<double>{0, 0.25, 0.25, 1}));
}

// A pair's p_gold never depends on its own label: a gold pair changed in
// one half moves no prediction within that half, the pair's own included,
// but does move predictions of the other half.
TEST(CalibrateTest, NoPairIsCalibratedWithItsOwnLabel) {
    std::string pairs = "400\n", domains = "24\n";
    for (int k = 0; k < 400; ++k) pairs += numbered("P", k % 97, " ") + numbered("P", (k * 31 + 7) % 97, "\n");
    for (int d = 0; d < 24; ++d) {
        domains += numbered("D", d, ":");
        for (int p = d; p < 97; p += 5 + d % 3) domains += numbered(" P", p, "");
        domains += "\n";
    }
    const Net net = make_net(pairs, domains);
    std::vector<double> score(static_cast<std::size_t>(net.dint.n));
    for (int r = 0; r < net.dint.n; ++r) score[r] = (r * 37) % 101;
    auto half = [&](int r, int which) {
        return domain_half(net.network.dom[net.dint.list[r].a].name, 1) == which &&
               domain_half(net.network.dom[net.dint.list[r].b].name, 1) == which;
    };
    NamePairs gold;
    int changed = -1;
    for (int r = 0; r < net.dint.n; ++r) {
        const std::string& a = net.network.dom[net.dint.list[r].a].name;
        const std::string& b = net.network.dom[net.dint.list[r].b].name;
        if (r % 4 == 0) gold.add(a, b);
        if (changed < 0 && r % 4 != 0 && half(r, 0) && score[r] > 50) changed = r;
    }
    ASSERT_GE(changed, 0);
    const Calibration before = calibrate(net.network, net.dint, score, gold);
    gold.add(net.network.dom[net.dint.list[changed].a].name, net.network.dom[net.dint.list[changed].b].name);
    const Calibration after = calibrate(net.network, net.dint, score, gold);
    int moved_other = 0;
    for (int r = 0; r < net.dint.n; ++r) {
        if (half(r, 0)) {
            EXPECT_EQ(std::isnan(before.p_gold[r]) ? -1.0 : before.p_gold[r],
                      std::isnan(after.p_gold[r]) ? -1.0 : after.p_gold[r]) << r;
        }
        moved_other += half(r, 1) && before.p_gold[r] != after.p_gold[r];
    }
    EXPECT_GT(moved_other, 0);
    EXPECT_NE(after.reliability.find("  pairs          predicted      pairs  mean predicted  observed (s.e.)\n"),
              std::string::npos);
}

// Exact estimates on a hand-made case. Three domains in each half; each
// kind (homotypic, heterotypic) fitted per half on the pairs within it. A
// pair within a half takes the other half's fit; a pair across the halves
// the mean of both (its own label is in neither).
TEST(CalibrateTest, EachPairTakesTheFitsOfWhatItIsNot) {
    std::vector<std::string> names;
    std::vector<int> a, b;  // indices of the domains of half 0 and of half 1
    for (int d = 0; a.size() < 3 || b.size() < 3; ++d) {
        const std::string name = numbered("D", d, "");
        std::vector<int>& mine = domain_half(name, 1) == 0 ? a : b;
        if (mine.size() == 3) continue;
        mine.push_back(static_cast<int>(names.size()));
        names.push_back(name);
    }
    struct Pair {
        int x, y;
        double score;
        bool gold;
        double expected;
    };
    const Pair pairs[] = {
        // Homotypic. Half 0 fits (1: 1 of 1, 2: 1 of 2) pooled to 2/3, its
        // weight 3; half 1 fits (1: 0, 2: 1).
        {a[0], a[0], 1, true, 0},    {a[1], a[1], 2, false, 1},   {a[2], a[2], 2, true, 1},
        {b[0], b[0], 1, false, 2.0 / 3}, {b[1], b[1], 2, true, 2.0 / 3},
        // Heterotypic. Half 0 fits (1: 0, 3: 1); half 1 (1: 0, 2: 1, 3: 0)
        // pooled to (0, 0.5, 0.5).
        {a[0], a[1], 3, true, 0.5},  {a[0], a[2], 1, false, 0},   {b[0], b[1], 3, false, 1},
        {b[0], b[2], 1, false, 0},   {b[1], b[2], 2, true, 0},
        // Across: the mean of both heterotypic fits.
        {a[0], b[0], 3, false, 0.75}, {a[1], b[2], 1, true, 0},    {a[2], b[1], 2, false, 0.25},
    };
    std::vector<std::pair<int, int>> list;
    std::vector<double> score;
    NamePairs gold;
    for (const Pair& p : pairs) {
        list.emplace_back(p.x, p.y);
        score.push_back(p.score);
        if (p.gold) gold.add(names[p.x], names[p.y]);
    }
    const Calibration c = calibrate(names, list, score, gold, 1, 0);  // no minimum block: the fits as worked
    for (std::size_t r = 0; r < std::size(pairs); ++r) {
        EXPECT_EQ(c.p_gold[r], pairs[r].expected) << names[pairs[r].x] << " " << names[pairs[r].y];
    }
    // Homotypic and heterotypic apart: homotypic 0 holds 1 (known), 2/3 to
    // 1 four (2 known); heterotypic 0 four (2 known), 0.25 one (none), 0.5
    // to 1 three (1 known); each observed share with its standard error.
    EXPECT_EQ(c.reliability,
              "calibration against the gold list (no pair predicted from its own label):\n"
              "  pairs          predicted      pairs  mean predicted  observed (s.e.)\n"
              "  homotypic       0-  1%          1            0.0%    100.0% (0.0)\n"
              "  homotypic      50-100%          4           83.3%     50.0% (25.0)\n"
              "  heterotypic     0-  1%          4            0.0%     50.0% (25.0)\n"
              "  heterotypic    20- 50%          1           25.0%      0.0% (0.0)\n"
              "  heterotypic    50-100%          3           75.0%     33.3% (27.2)\n");
}

// ln P(X >= k) by summing the terms in long double, each from lgamma, up
// to where they no longer change the sum.
long double exact_log_upper(std::int64_t n, std::int64_t k, long double rho) {
    long double sum = 0;
    for (std::int64_t j = k; j <= n; ++j) {
        const long double jd = j, nd = n;
        if (jd > nd * rho + 10 && sum > 0 && std::exp(std::lgamma(nd + 1) - std::lgamma(jd + 1) - std::lgamma(nd - jd + 1) +
                                                           jd * std::log(rho) + (nd - jd) * std::log1p(-rho)) < sum * 1e-30L)
            break;
        sum += std::exp(std::lgamma(nd + 1) - std::lgamma(jd + 1) - std::lgamma(nd - jd + 1) + jd * std::log(rho) +
                        (nd - jd) * std::log1p(-rho));
    }
    return std::log(sum);
}

TEST(RankTest, BinomialTailMatchesAnExactSumFromTheBulkToFarTails) {
    struct Case {
        std::int64_t n, k;
        double rho;
    };
    const Case cases[] = {{1, 1, 0.3},       {10, 1, 0.3},      {10, 3, 0.3},       {10, 4, 0.3},
                          {10, 10, 0.3},     {200, 1, 0.001},   {200, 2, 0.001},    {200, 150, 0.9},
                          {200, 185, 0.9},   {200, 200, 0.9},   {5000, 12, 0.0025}, {5000, 13, 0.0025},
                          {5000, 60, 0.0025}, {300000, 700, 0.0025}, {300000, 2000, 0.0025}};
    for (const Case& c : cases) {
        const double got = log_binomial_upper(c.n, c.k, c.rho);
        const auto want = static_cast<double>(exact_log_upper(c.n, c.k, c.rho));
        EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::fabs(want))) << c.n << " " << c.k << " " << c.rho;
    }
    EXPECT_EQ(log_binomial_upper(10, 0, 0.3), 0.0);
    EXPECT_EQ(log_binomial_upper(10, 11, 0.3), -INFINITY);
    EXPECT_EQ(log_binomial_upper(10, 1, 0.0), -INFINITY);
    EXPECT_EQ(log_binomial_upper(10, 10, 1.0), 0.0);
    // Far below double's smallest number, still finite in log space.
    EXPECT_NEAR(log_binomial_upper(300000, 5000, 0.0025), exact_log_upper(300000, 5000, 0.0025), 1e-6);
}

// X-Y and Y-Z stand in the same protein pairs (A-B, C-B); X-X only in A-C.
TEST(RankTest, CandidatesInTheSameRowsFormAClass) {
    const Net net = make_net("3\nA B\nC B\nA C\n", "3\nX: A C\nY: B\nZ: A C\n");
    ASSERT_EQ(net.dint.n, 5);  // X-Y, Y-Z, X-X, X-Z, Z-Z
    EXPECT_EQ(identical_columns(net.network, net.pint, net.dint), (std::vector<std::vector<int>>{{0, 1}, {2, 3, 4}}));
    // One row each, but not the same row: no class.
    const Net apart = make_net("2\nA B\nC D\n", "4\nX: A\nY: B\nZ: C\nW: D\n");
    ASSERT_EQ(apart.dint.n, 2);
    EXPECT_EQ(identical_columns(apart.network, apart.pint, apart.dint), (std::vector<std::vector<int>>{}));
}

// Precision down a ranking, heterotypic pairs counted apart: the second
// and third are heterotypic, the third in gold.
TEST(ReportChartsTest, HeterotypicPrecisionCountsHeterotypicPairsAlone) {
    const Curves c = curves({1, 0, 1, 0}, {0, 1, 1, 1}, 2, 1);
    EXPECT_EQ(c.points[0], (std::vector<std::pair<double, double>>{{1, 1}, {2, 0.5}, {3, 2.0 / 3}, {4, 0.5}}));
    EXPECT_EQ(c.hetero[0], (std::vector<std::pair<double, double>>{{1, 0}, {2, 0.5}, {3, 1.0 / 3}}));
    EXPECT_EQ(c.hetero[1], (std::vector<std::pair<double, double>>{{1, 0}, {2, 1}, {3, 1}}));
}

// Five heterotypic pairs, association best first (support 5 down to 1),
// shared proteins 0 2 2 0 5: shared ranks 4.5 2.5 2.5 4.5 1. Alone with the
// association, pairs 1 and 4 tie at -ln 5 and the association puts 1 first.
TEST(RankTest, SharedProteinsAreTheThirdRank) {
    inter_table dint;
    for (const auto& [a, b] : std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}}) {
        dint.list.push_back(inter{a, b, {}, {}, 0.0, 1});
    }
    dint.n = 5;
    Association assoc;
    assoc.support = {5, 4, 3, 2, 1};
    assoc.possible.assign(5, 10);
    assoc.expected.assign(5, 1.0);
    assoc.shared = {0, 2, 2, 0, 5};
    assoc.modelled = 10;
    assoc.universe = 100;
    RankOptions even;  // every rank weighs 1
    even.weights.shared = 1;
    RankedTable t = rank_candidates(dint, assoc, {}, even);
    EXPECT_EQ(t.order, (std::vector<int>{0, 1, 4, 2, 3}));
    const std::vector<double> alone{-std::log(4.5), -std::log(5.0), -std::log(7.5), -std::log(18.0), -std::log(5.0)};
    for (int r = 0; r < 5; ++r) EXPECT_NEAR(t.score[r], alone[r], 1e-12) << r;

    // With the programme's evidence, freq ranks 4.5 1 2.5 2.5 4.5.
    const LpEvidence lp{{}, {0, 1, 0.5, 0.5, 0}};
    t = rank_candidates(dint, assoc, lp, even);
    EXPECT_EQ(t.order, (std::vector<int>{1, 2, 0, 4, 3}));
    const std::vector<double> three{-std::log(20.25), -std::log(5.0), -std::log(18.75), -std::log(45.0),
                                    -std::log(22.5)};
    for (int r = 0; r < 5; ++r) EXPECT_NEAR(t.score[r], three[r], 1e-12) << r;

    // The network alone: the association and freq only.
    RankOptions network;
    network.network_only = true;
    t = rank_candidates(dint, assoc, lp, network);
    EXPECT_EQ(t.order, (std::vector<int>{1, 0, 2, 3, 4}));
    EXPECT_NEAR(t.score[4], -std::log(22.5), 1e-12);

    // The default weights with the partners' likeness, cosines ranking
    // 5 2.5 2.5 1 4: -(ln association + 1.5 ln shared + ln partners). With
    // a weight of 1 for the shared proteins the order would be 1 3 2 4 0.
    assoc.partner_cosine = {0.0, 0.3, 0.3, 0.9, 0.1};
    t = rank_candidates(dint, assoc, {}, {});
    EXPECT_EQ(t.order, (std::vector<int>{1, 4, 2, 3, 0}));
    const std::vector<double> weighted{-(1.5 * std::log(4.5) + std::log(5.0)),
                                       -(std::log(2.0) + 2.5 * std::log(2.5)),
                                       -(std::log(3.0) + 2.5 * std::log(2.5)),
                                       -(std::log(4.0) + 1.5 * std::log(4.5)),
                                       -(std::log(5.0) + std::log(4.0))};
    for (int r = 0; r < 5; ++r) EXPECT_NEAR(t.score[r], weighted[r], 1e-12) << r;
    // The network alone leaves the partners out too.
    t = rank_candidates(dint, assoc, lp, network);
    EXPECT_EQ(t.order, (std::vector<int>{1, 0, 2, 3, 4}));
}

// Weights by name, the others at their defaults; a weight that is no
// number of at least 0, or a name of nothing, is a mistake of the call.
TEST(RankTest, WeightsByName) {
    const RankWeights w = parse_weights("partners=2,lp=0.5");
    EXPECT_EQ(weights_text(w), "lp=0.5,association=1,shared=1.5,partners=2");
    for (const char* bad : {"shared=-1", "shared=", "protein=1", "shared=1x", "shared"}) {
        EXPECT_THROW(parse_weights(bad), UsageError) << bad;
    }
}

// Partner profiles worked by hand. Pairs A-B, A-C, B-C, D-D, E-D and A-B
// again; D1 on A and D, D2 on B, D3 on C and E. Profiles (partner: count):
// D1 {B 1, C 1, D 1, E 1} (A meets B and C, D meets itself, once, and E),
// D2 {A 1, C 1}, D3 {A 1, B 1, D 1}: norms 2, sqrt(2), sqrt(3). cos(D1, D2)
// = 1 / (2 sqrt(2)), cos(D1, D3) = 2 / (2 sqrt(3)), cos(D2, D3) = 1 /
// (sqrt(2) sqrt(3)); a domain with itself is 1. A self-pair counted twice,
// or A-B counted twice, or a wrong norm changes them.
TEST(RankTest, PartnerProfilesAndTheirCosine) {
    const Net net = make_net("6\nA B\nA C\nB C\nD D\nE D\nA B\n", "3\nD1: A D\nD2: B\nD3: C E\n");
    const std::vector<double> cosine = partner_cosine(net.network, net.pint, net.dint);
    std::map<std::string, double> by_pair;
    for (int r = 0; r < net.dint.n; ++r) {
        by_pair[net.network.dom[net.dint.list[r].a].name + "-" + net.network.dom[net.dint.list[r].b].name] = cosine[r];
    }
    EXPECT_EQ(by_pair.size(), 4u);  // E-D meets D1-D3 again
    EXPECT_NEAR(by_pair["D1-D2"], 1 / (2 * std::sqrt(2.0)), 1e-12);
    EXPECT_NEAR(by_pair["D1-D3"], 1 / std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(by_pair["D2-D3"], 1 / (std::sqrt(2.0) * std::sqrt(3.0)), 1e-12);
    EXPECT_EQ(by_pair["D1-D1"], 1.0);
}

TEST(RankTest, TiedRanksAreAveraged) {
    const std::vector<int> order{3, 0, 2, 1, 4};
    const std::vector<int> key{7, 5, 7, 9, 5};  // by item; 3, 0/2... tied where keys are equal
    const std::vector<double> ranks = tied_ranks(order, [&](int x, int y) { return key[x] == key[y]; });
    // order 3 | 0 2 | 1 | 4 is keys 9 | 7 7 | 5 | 5: ranks 1, 2.5, 2.5, 4.5, 4.5
    EXPECT_EQ(ranks, (std::vector<double>{2.5, 4.5, 2.5, 1, 4.5}));
}

const std::string checked =
    "input check: 5 of 6 proteins carry a domain; 5 of 6 pairs are modelled; repeated pairs (either order): 1\n";

class RankCommandTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        write_file(path("pairs.txt"), pairs);
        write_file(path("domains.txt"), domains);
    }
    RunResult rank(std::vector<std::string> options) {
        options.insert(options.begin(), bin("ddinfer-rank"));
        options.push_back("pairs.txt");
        options.push_back("domains.txt");
        return run_in(dir, options);
    }
};

// Binomial association order: {X,X} (p 0.175), {X,Y} (p 0.197), {Y,Y}
// (p 0.844), from exact sums. The .dint lists {X,Y}, so its LP rank is 1
// and the other two share 2.5: scores -ln 2, -ln 2.5, -ln 2.5 - ln 3.
// Degrees: A 4 (A-B, A-C and the self-pair A-A twice), B 1, C 2, D 1, so
// K_X = 6, K_Y = 4, 2M = 8: E = 3 for {X,Y}, 36/16 for {X,X}, 1 for {Y,Y};
// the Poisson tails (from exact sums) order {X,Y}, {Y,Y}, {X,X}.
TEST_F(RankCommandTest, TheRankProductOrdersTheTable) {
    write_file(path("x.dint"), "Y\tX\n");
    RunResult run = rank({"--evidence", "network", "--association", "binomial", "--dint", "x.dint"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(path("pairs.txt.rank.tsv")).substr(0, 15), "# ddinfer-rank ");
    EXPECT_EQ(without_provenance(read_file(path("pairs.txt.rank.tsv"))),
              "domain_a\tdomain_b\thomotypic\tsupport\tpossible\tratio\tp_assoc\tlog10_p\tlp_value\tfreq\tscore\trank\t"
              "class_size\texpected\tlog10_p_dc\tshared_proteins\tpartner_cosine\n"
              "X\tY\t0\t3\t6\t1.875\t0.196653\t-0.7063\t1\t\t-0.693147\t1\t1\t3\t-0.238967\t1\t\n"
              "X\tX\t1\t2\t3\t2.5\t0.175407\t-0.755952\t0\t\t-0.916291\t2\t1\t2.25\t-0.182136\t0\t\n"
              "Y\tY\t1\t1\t6\t0.625\t0.844472\t-0.0734147\t0\t\t-2.0149\t3\t1\t1\t-0.1992\t0\t\n");
    EXPECT_EQ(run.err, checked + "wrote pairs.txt.rank.tsv: 3 candidate pairs, 4 modelled protein pairs, density 0.266667\n");
    run = rank({"--evidence", "network", "--dint", "x.dint"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(read_file(path("pairs.txt.rank.tsv")).find("\nX\tY\t0\t3\t6\t1.875\t0.196653\t-0.7063\t1\t\t0\t1\t1\t3\t"
                                                         "-0.238967\t1\t\nY\tY\t1\t1\t6\t0.625\t0.844472\t-0.0734147\t0\t\t"
                                                         "-1.60944\t2\t1\t1\t-0.1992\t0\t\nX\tX\t"),
              std::string::npos);
    // The preview shows the p of the model in use.
    EXPECT_NE(run.out.find("    1  X                Y                       3     0.57681        1        -         0\n"),
              std::string::npos)
        << run.out;

    // Homotypic pairs first, each group in score order; without LP evidence
    // the association alone.
    ASSERT_EQ(rank({"--evidence", "network", "--association", "binomial", "--homotypic-first", "--dint", "x.dint"}).status, 0);
    std::string table = read_file(path("pairs.txt.rank.tsv"));
    EXPECT_NE(table.find("\nX\tX\t1\t2\t3\t2.5\t0.175407\t-0.755952\t0\t\t-0.916291\t1\t1\t2.25\t-0.182136\t0\t\nY\tY\t"),
              std::string::npos);
    ASSERT_EQ(rank({"--evidence", "network", "--association", "binomial"}).status, 0);
    table = read_file(path("pairs.txt.rank.tsv"));
    EXPECT_NE(table.find("\nX\tX\t1\t2\t3\t2.5\t0.175407\t-0.755952\t\t\t0\t1\t1\t2.25\t-0.182136\t0\t\nX\tY\t0\t3\t6\t1.875\t"
                         "0.196653\t-0.7063\t\t\t-0.693147\t2\t1\t3\t-0.238967\t1\t\n"),
              std::string::npos)
        << table;
    // The shared-protein group: {X,Y} (C carries both) after the homotypic
    // block, or first.
    ASSERT_EQ(rank({"--evidence", "network", "--association", "binomial", "--homotypic-first", "--shared-first"}).status, 0);
    table = without_provenance(read_file(path("pairs.txt.rank.tsv")));
    EXPECT_EQ(table.substr(table.find('\n') + 1, 5) + table.substr(table.find("\nY\tY"), 5) + table.substr(table.find("\nX\tY"), 5),
              "X\tX\t1\nY\tY\t\nX\tY\t");
    EXPECT_LT(table.find("\nY\tY"), table.find("\nX\tY"));
    ASSERT_EQ(rank({"--evidence", "network", "--association", "binomial", "--shared-first"}).status, 0);
    table = without_provenance(read_file(path("pairs.txt.rank.tsv")));
    EXPECT_EQ(table.substr(table.find('\n') + 1, 4), "X\tY\t");
    EXPECT_EQ(rank({"--evidence", "network", "--association", "poisson"}).status, 2);
}

// The robust table gives freq (the LP evidence) and the classic value; a
// tie in freq between {X,Y} and {Y,Y} leaves {X,Y} ahead on association.
TEST_F(RankCommandTest, ARobustTableGivesFrequencies) {
    // As ddinfer-robust writes it: the line of its call first.
    write_file(path("r.tsv"), "# ddinfer-robust 1.0.0 --solver clp --runs 4 --seed 1 pairs.txt domains.txt 0\n"
                              "domain_a\tdomain_b\tclassic\tfreq\nX\tX\t1\t0.75\nY\tY\t0.5\t0.5\nX\tY\t0\t0.5\n");
    const RunResult run = rank({"--evidence", "network", "--robust", "r.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string table = read_file(path("pairs.txt.rank.tsv"));
    EXPECT_NE(table.find("\nX\tY\t0\t3\t6\t1.875\t0.196653\t-0.7063\t0\t0.5\t-0.916291\t1\t1\t3\t-0.238967\t1\t\n"
                         "X\tX\t1\t2\t3\t2.5\t0.175407\t-0.755952\t1\t0.75\t-1.09861\t2\t1\t2.25\t-0.182136\t0\t\n"
                         "Y\tY\t1\t1\t6\t0.625\t0.844472\t-0.0734147\t0.5\t0.5\t-1.60944\t3\t1\t1\t-0.1992\t0\t\n"),
              std::string::npos)
        << table;
    // LP rank 1 with association rank 2 ties with LP rank 2 and association
    // rank 1: the tie goes to the association, so {X,X} leads.
    write_file(path("r.tsv"), "domain_a\tdomain_b\tclassic\tfreq\nX\tY\t1\t1\nX\tX\t0\t0.5\nY\tY\t0\t0\n");
    ASSERT_EQ(rank({"--evidence", "network", "--association", "binomial", "--robust", "r.tsv"}).status, 0);
    const std::string tied = read_file(path("pairs.txt.rank.tsv"));
    EXPECT_NE(tied.find("\nX\tX\t1\t2\t3\t2.5\t0.175407\t-0.755952\t0\t0.5\t-0.693147\t1\t1\t2.25\t-0.182136\t0\t\n"
                        "X\tY\t0\t3\t6\t1.875\t0.196653\t-0.7063\t1\t1\t-0.693147\t2\t"),
              std::string::npos)
        << tied;
}

// A and B carry both X and Y, so X-Y stands twice in the pair A-B and counts
// once; 2 proteins carry both, so N(X-Y) = 3 x 2 - 2 - 1 = 3. Every possible
// pair interacts (rho = 1, every p = 1): support breaks the ties, X-X and
// X-Y share ranks 1 and 2, and they stand in the same rows (a class of 2).
TEST_F(RankCommandTest, ProteinsCarryingBothDomains) {
    write_file(path("p3.txt"), "3\nA B\nB C\nA C\n");
    write_file(path("d3.txt"), "2\nX: A B C\nY: A B\n");
    RunResult run = run_in(dir, {bin("ddinfer-rank"), "--association", "binomial", "--evidence", "network", "p3.txt",
                                 "d3.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    // Degrees 2 each, K_X = 6, K_Y = 4, 2M = 6: E = 3, 4 and 16/12.
    EXPECT_EQ(without_provenance(read_file(path("p3.txt.rank.tsv"))),
              std::string(rank_header) +
                  "\nX\tX\t1\t3\t3\t1\t1\t0\t\t\t-0.405465\t1\t2\t3\t-0.238967\t0\t\n"
                  "X\tY\t0\t3\t3\t1\t1\t0\t\t\t-0.405465\t2\t2\t4\t-0.118104\t2\t\n"
                  "Y\tY\t1\t1\t1\t1\t1\t0\t\t\t-1.09861\t3\t1\t1.33333\t-0.132885\t0\t\n");
    EXPECT_EQ(read_file(path("p3.txt.classes.tsv")), "class\tdomain_a\tdomain_b\n1\tX\tX\n1\tX\tY\n");
    // By default the two proteins that carry X and Y put X-Y first: shared
    // rank 1 (weight 1.5) against 2.5 for the two pairs that share none; the
    // partners' likeness ranks X-X and Y-Y (1 each) before X-Y: X's profile
    // {A 2, B 2, C 2}, Y's {A 1, B 1, C 2}, cosine 8 / (sqrt(12) sqrt(6)).
    // Scores -(ln 1.5 + ln 3), -(ln 1.5 + 1.5 ln 2.5 + ln 1.5), -(ln 3 +
    // 1.5 ln 2.5 + ln 1.5).
    run = run_in(dir, {bin("ddinfer-rank"), "--association", "binomial", "p3.txt", "d3.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string table = read_file(path("p3.txt.rank.tsv"));
    EXPECT_NE(table.substr(0, table.find('\n')).find(" --association binomial --evidence all --weights "
                                                     "lp=1,association=1,shared=1.5,partners=1 p3.txt d3.txt"),
              std::string::npos);
    EXPECT_EQ(without_provenance(table), std::string(rank_header) +
                                             "\nX\tY\t0\t3\t3\t1\t1\t0\t\t\t-1.50408\t1\t2\t4\t-0.118104\t2\t0.942809\n"
                                             "X\tX\t1\t3\t3\t1\t1\t0\t\t\t-2.18537\t2\t2\t3\t-0.238967\t0\t1\n"
                                             "Y\tY\t1\t1\t1\t1\t1\t0\t\t\t-2.87851\t3\t1\t1.33333\t-0.132885\t0\t1\n");
    EXPECT_EQ(run_in(dir, {bin("ddinfer-rank"), "--evidence", "protein", "p3.txt", "d3.txt"}).status, 2);
}

// The report: one page, names escaped, as many rows as asked, the charts
// of what was given and nothing else; a table of other inputs is refused.
TEST_F(RankCommandTest, TheReportIsOnePageOfWhatWasGiven) {
    write_file(path("odd&.txt"), "6\nA B\nB A\nA C\nA A\nC D\nE F\n");
    write_file(path("oddd.txt"), "3\nX<b>: A C A\nY: B C D\nZ: E\n");
    RunResult run = run_in(dir, {bin("ddinfer-report"), "--top", "2", "odd&.txt", "oddd.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string page = read_file(path("odd&.txt.report.html"));
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(page.find("X<b>"), std::string::npos);
    EXPECT_NE(page.find("X&lt;b&gt;"), std::string::npos);
    const std::string table = page.substr(page.find("<table id=\"pairs\">"));
    std::size_t rows = 0;
    for (std::size_t at = 0; (at = table.find("<tr><td>", at)) != std::string::npos; ++at) ++rows;
    EXPECT_EQ(rows, 2u);
    EXPECT_NE(page.find("<svg id=\"score-chart\""), std::string::npos);
    EXPECT_EQ(page.find("<svg id=\"freq-chart\""), std::string::npos);
    EXPECT_EQ(page.find("<svg id=\"precision-chart\""), std::string::npos);
    EXPECT_NE(page.find("ranked by the degree-corrected association alone"), std::string::npos);
    // A rank table's first rows, as many as asked, with the names of the
    // domains the inputs have.
    ASSERT_EQ(run_in(dir, {bin("ddinfer-rank"), "odd&.txt", "oddd.txt"}).status, 0);
    write_file(path("names.tsv"), "Q\tQname\nY\tYname\tYdesc\nX<b>\tXname\n");
    run = run_in(dir, {bin("ddinfer-report"), "--rank", "odd&.txt.rank.tsv", "--top", "2", "--names", "names.tsv",
                       "-o", "r.html", "odd&.txt", "oddd.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string ranked = read_file(path("r.html"));
    EXPECT_NE(ranked.find("<small>Yname: Ydesc</small>"), std::string::npos);
    EXPECT_NE(ranked.find("<small>Xname</small>"), std::string::npos);
    EXPECT_EQ(ranked.find("<tr><td>3</td>"), std::string::npos);
    EXPECT_NE(ranked.find("<tr><td>2</td>"), std::string::npos);
    write_file(path("r.tsv"), "domain_a\tdomain_b\tscore\nQ\tQ\t1\n");
    run = run_in(dir, {bin("ddinfer-report"), "--rank", "r.tsv", "-o", "x.html", "odd&.txt", "oddd.txt"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ddinfer-report: r.tsv:2: \"Q\" with \"Q\" is no candidate pair of these inputs"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(path("x.html")));
    // Every table given: each call line shown whole and escaped, the
    // counts the charts are titled with, the recall of the one heterotypic
    // known pair reached at rank 1.
    write_file(path("robust.tsv"), "# ddinfer-robust 1.0.0 --runs 4 odd&.txt oddd.txt 0.100000\n"
                                   "domain_a\tdomain_b\tclassic\tfreq\nX<b>\tY\t1\t1\nY\tY\t0\t0.5\nX<b>\tX<b>\t1\t0.25\n");
    write_file(path("null.tsv"), "# ddinfer-null 1.0.0 --model 2 --runs 9 odd&.txt oddd.txt 0.100000\n"
                                 "domain_a\tdomain_b\tvalue\thits\truns\tp_value\tq_value\n"
                                 "X<b>\tY\t1\t0\t9\t0.1\t0.2\nY\tY\t1\t0\t9\t0.1\t0.2\nX<b>\tX<b>\t1\t4\t9\t0.5\t0.5\n");
    write_file(path("gold.tsv"), "Y X<b>\nY Y\nQ R\n");
    write_file(path("names.tsv"), "X<b>\tX & co\n");
    write_file(path("genes.tsv"), "A\tgA<1>\nZ\tnot a protein\n");
    // Beside the rank table, its classes: rows 1 and 3 no solution tells apart.
    write_file(path("odd&.txt.classes.tsv"), "class\tdomain_a\tdomain_b\n1\tX<b>\tY\n1\tX<b>\tX<b>\n");
    run = run_in(dir, {bin("ddinfer-report"), "--rank", "odd&.txt.rank.tsv", "--robust", "robust.tsv", "--null",
                       "null.tsv", "--gold", "gold.tsv", "--names", "names.tsv", "--names", "genes.tsv", "--title", "odd & co", "-o", "all.html",
                       "odd&.txt", "oddd.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string all = read_file(path("all.html"));
    const std::string settings = all.substr(all.find("<h2>Settings</h2>"), all.find("</ul>", all.find("<h2>Settings</h2>")) - all.find("<h2>Settings</h2>"));
    EXPECT_EQ(settings, "<h2>Settings</h2>\n<ul><li><code>ddinfer-rank 1.1.0 --evidence all --weights "
                        "lp=1,association=1,shared=1.5,partners=1 odd&amp;.txt oddd.txt</code></li>"
                        "<li><code>classes of candidates no solution tells apart: odd&amp;.txt.classes.tsv</code></li>"
                        "<li><code>ddinfer-robust 1.0.0 --runs 4 odd&amp;.txt oddd.txt 0.100000</code></li>"
                        "<li><code>classic list: 2 pairs; pairs inferred in any run: 3</code></li>"
                        "<li><code>ddinfer-null 1.0.0 --model 2 --runs 9 odd&amp;.txt oddd.txt 0.100000</code></li>");
    EXPECT_NE(all.find("<figcaption>p values against the randomised networks (2 tied at the smallest possible, "
                       "1/(runs+1) = 0.1)</figcaption>"),
              std::string::npos);
    const std::string recall = all.substr(all.find("<svg id=\"recall-chart\""));
    EXPECT_EQ(recall.substr(recall.find("<polyline class=\"hetero\""), 46), "<polyline class=\"hetero\" points=\"50.0,10.0 \"/>");
    EXPECT_EQ(all.find("& co"), std::string::npos);
    // Top down: the summary, then the table, then the charts.
    const std::size_t summary = all.find("<section id=\"summary\">"), top = all.find("<table id=\"pairs\">");
    EXPECT_LT(summary, top);
    EXPECT_LT(top, all.find("<h2>Charts</h2>"));
    EXPECT_EQ(all.substr(summary, all.find("</section>") - summary),
              "<section id=\"summary\"><ul><li>Inputs: 6 protein pairs of 6 proteins (odd&amp;.txt), 5 of them with a "
              "domain of oddd.txt; 3 candidate domain pairs.</li><li>Ranking: odd&amp;.txt.rank.tsv, by ddinfer-rank "
              "(its call under Settings).</li><li>Optimal solutions sampled: 4 (robust.tsv): 2 pairs in the classic "
              "solution, 3 in any of them.</li><li>Randomised networks: 9 of model 2 (null.tsv): 2 of 3 tested pairs "
              "at the smallest p, 0.1.</li><li>Pairs in gold.tsv: 2 among the candidates, a base rate of 66.67%; 2 "
              "of the top 3.</li></ul>");
    // The title: the name given and the ratio the robust table's call ends with.
    EXPECT_NE(all.find("<h1>ddinfer report: odd &amp; co, ratio 0.1</h1>"), std::string::npos);
    // The columns read first, each with its meaning; the rest further right.
    std::string heads;
    for (std::size_t at = all.find("<thead>", top) + 1; (at = all.find("<th", at + 1)) < all.find("</thead>", top);) {
        // "+" before a column further right, "?" after one without a meaning.
        const std::size_t close = all.find('>', at);
        if (all.compare(at, 17, "<th class=\"extra\"") == 0) heads += '+';
        heads += all.substr(close + 1, all.find("</th>", at) - close - 1);
        if (all.substr(at, close - at).find(" title=\"") == std::string::npos) heads += '?';
        heads += ' ';
    }
    EXPECT_EQ(heads, "rank domain_a domain_b protein pairs gold list freq support score +homotypic +possible +ratio +p_assoc +log10_p "
                     "+lp_value +class_size +expected +log10_p_dc +shared_proteins +partner_cosine ");
    EXPECT_NE(all.find("<tr><td>1 <span class=\"twin\" title=\"no solution tells this pair from the pairs at rank 3: "
                       "they stand in exactly the same protein pairs\">twin of 3</span></td><td>X&lt;b&gt;<br><small>X &amp; "
                       "co</small></td><td>Y</td><td class=\"behind\"><details><summary>3</summary><ul><li>A (gA&lt;1&gt;) &ndash; B <small>its "
                       "only candidate</small></li><li>A (gA&lt;1&gt;) &ndash; C <small>one of 2 candidates</small></li><li>C &ndash; "
                       "D <small>one of 2 candidates</small></li></ul></details></td><td class=\"in-gold\">in gold.tsv</td>"),
              std::string::npos);
    EXPECT_NE(all.find("<tr><td>3 <span class=\"twin\""), std::string::npos);
    EXPECT_NE(all.find("</details></td><td class=\"not-in-gold\">not in gold.tsv</td>"), std::string::npos);
    EXPECT_EQ(all.find(">new<"), std::string::npos);
    // Chance on the precision chart: 2 of 3 candidates are known.
    EXPECT_NE(all.find("<line x1=\"50\" y1=\"76.7\" x2=\"610\" y2=\"76.7\" class=\"base all\">"), std::string::npos);
    EXPECT_NE(all.find("<p class=\"note\" id=\"null-note\">2 of 3 tested pairs sit at the smallest p that 9 runs "
                       "allow (0.1)"),
              std::string::npos);
    // One of three at the smallest p: no note.
    write_file(path("null.tsv"), "# ddinfer-null 1.0.0 --model 2 --runs 9 odd&.txt oddd.txt 0.100000\n"
                                 "domain_a\tdomain_b\tvalue\thits\truns\tp_value\tq_value\n"
                                 "X<b>\tY\t1\t0\t9\t0.1\t0.2\nY\tY\t1\t1\t9\t0.2\t0.2\nX<b>\tX<b>\t1\t4\t9\t0.5\t0.5\n");
    ASSERT_EQ(run_in(dir, {bin("ddinfer-report"), "-q", "--null", "null.tsv", "-o", "few.html", "odd&.txt", "oddd.txt"}).status, 0);
    const std::string few = read_file(path("few.html"));
    EXPECT_NE(few.find("(1 tied at the smallest possible"), std::string::npos);
    EXPECT_EQ(few.find("null-note"), std::string::npos);
}

// A gold list that names no candidate fits nothing: an error naming both
// files, as ddinfer-eval gives; gold pairs of unknown domains are counted.
TEST_F(RankCommandTest, CalibrationNeedsGoldPairsAmongTheCandidates) {
    write_file(path("g.tsv"), "Q R\n");
    RunResult run = rank({"--calibrate", "g.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, checked + "ddinfer-rank: no pair of g.tsv is a candidate pair of pairs.txt and domains.txt "
                                 "(g.tsv has \"Q-R\", the candidates such as \"X-Y\"); are the domain ids of one kind?\n");
    EXPECT_FALSE(fs::exists(path("pairs.txt.rank.tsv")));
    write_file(path("g.tsv"), "X Y\nQ R\nX Q\nZ X\n");
    run = rank({"--calibrate", "g.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("\n  2 of the 4 pairs of g.tsv name a domain that domains.txt does not have\n"),
              std::string::npos)
        << run.err;
}

TEST_F(RankCommandTest, EvidenceFilesAreCheckedAndNothingIsWrittenOnError) {
    write_file(path("x.dint"), "X\tY\nX\tZ\n");
    RunResult run = rank({"--dint", "x.dint"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, checked + "ddinfer-rank: x.dint:2: \"X\" with \"Z\" is no candidate pair of these inputs\n");
    write_file(path("r.tsv"), "domain_a\tdomain_b\tclassic\tfreq\nX\tX\t1\t0.75\nY\tY\t0.5\t0.5x\n");
    run = rank({"--robust", "r.tsv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, checked + "ddinfer-rank: r.tsv:3: expected two domain names, the classic value and the frequency\n");
    write_file(path("r.tsv"), "domain_a\tdomain_b\tclassic\tfreq\nX\tX\t1\t0.6");
    run = rank({"--robust", "r.tsv"});
    EXPECT_EQ(run.err, checked + "ddinfer-rank: r.tsv:2: the line has no line end: the table was cut short\n");
    EXPECT_FALSE(fs::exists(path("pairs.txt.rank.tsv")));
    EXPECT_EQ(rank({"--dint"}).status, 2);
    // The two tables are one result: when the rank table cannot take its
    // name, the earlier classes table stays too, and nothing is left over.
    write_file(path("pairs.txt.classes.tsv"), "earlier\n");
    fs::create_directory(path("pairs.txt.rank.tsv"));
    run = rank({});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, checked + "ddinfer-rank: pairs.txt.rank.tsv: cannot write: Is a directory\n");
    EXPECT_EQ(read_file(path("pairs.txt.classes.tsv")), "earlier\n");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"domains.txt", "pairs.txt", "pairs.txt.classes.tsv", "pairs.txt.rank.tsv",
                                               "r.tsv", "x.dint"}));
}

}  // namespace
}  // namespace ddinfer::test
