#include "solve/presolve.h"

#include <gtest/gtest.h>

#include <ClpSimplex.hpp>
#include <CoinPackedVector.hpp>

#include <map>
#include <random>
#include <set>
#include <sstream>

#include "solve/clp_inprocess.h"
#include "solve/face_sampler.h"
#include "solve/solver.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

Programme programme(std::vector<std::vector<int>> rows, std::vector<double> cost, std::int64_t budget) {
    Programme p;
    for (std::size_t r = 0; r < rows.size(); ++r) p.add_row(static_cast<int>(r), rows[r]);
    p.cost = std::move(cost);
    p.budget = budget;
    return p;
}

using Rows = std::vector<std::vector<int>>;

Rows classes(const Reduced& r) {
    Rows sets;
    for (std::size_t k = 0; k < r.classes(); ++k) sets.emplace_back(r.members(k).begin(), r.members(k).end());
    return sets;
}
using Ints = std::vector<int>;
using Doubles = std::vector<double>;

// Rows 0 and 1 are the same {0, 1, 2}; columns 0 and 1 stand in the same
// rows (0, 1, 2); column 2 only in rows 0 and 1, a proper subset of column
// 0's; column 3 alone in row 3 folds into the budget.
TEST(PresolveTest, MergesRowsAndColumnsDropsDominatedAndFoldsSingleRows) {
    const Programme p = programme({{0, 1, 2}, {0, 1, 2}, {0, 1, 4}, {3}, {4, 5}}, {1, 1, 1, 1, 1, 1}, 2);
    const Reduced r = presolve(p);
    // Kept columns: 0 (for 0 and 1) and 4; 5 is dominated by 4, 2 by 0.
    EXPECT_EQ(r.column_record, (Ints{0, 4}));
    EXPECT_EQ(classes(r), (Rows{{0, 1}}));
    // Rows: {0} twice (weight 2), then {0, 4}, then {4}.
    Rows kept;
    for (std::size_t k = 0; k < r.rows(); ++k) kept.emplace_back(r.row(k).begin(), r.row(k).end());
    EXPECT_EQ(kept, (Rows{{0}, {0, 1}, {1}}));
    EXPECT_EQ(r.row_weight, (Doubles{2, 1, 1}));
    EXPECT_EQ(r.folded_record, (Ints{3}));
    EXPECT_EQ(r.folded_weight, (Doubles{1}));
    EXPECT_EQ(r.offset, 1.0);
    EXPECT_EQ(r.row_place, (Ints{0, 0, 1, -1, 2}));
    EXPECT_EQ(r.budget, 2);
}

// A dominated column that is cheaper stays: under the changed costs of a
// sampled run it may be the better choice. Of identical columns the
// cheapest stays.
TEST(PresolveTest, CostsDecideWhatMayGo) {
    const Reduced r = presolve(programme({{0, 1}, {0, 2}, {1, 3}, {2, 3}}, {1.0, 0.5, 1.0, 1.0}, 0));
    // Column 1 (rows 0, 2) and 0 (rows 0, 1) are no subsets of each other;
    // nothing goes.
    EXPECT_EQ(r.column_record, (Ints{0, 1, 2, 3}));
    const Reduced cheap = presolve(programme({{0, 1}, {0, 2}}, {1.0, 0.5, 1.0}, 0));
    // Column 1 (row 0 only) is a subset of column 0 (rows 0 and 1) but is
    // cheaper, so it stays; column 2 (row 1 only) costs as much as 0 and goes.
    EXPECT_EQ(cheap.column_record, (Ints{0, 1}));
    const Reduced twins = presolve(programme({{0, 1, 2}, {0, 1, 3}}, {1.0, 0.25, 1.0, 1.0}, 0));
    // 0 and 1 are twins, 1 the cheaper; 2 and 3 go to it; then the rows
    // are the same, and the one left folds, counting twice in the budget.
    EXPECT_EQ(classes(twins), (Rows{{1, 0}}));
    EXPECT_EQ(twins.column_record, (Ints{}));
    EXPECT_EQ(twins.folded_record, (Ints{1}));
    EXPECT_EQ(twins.folded_weight, (Doubles{2}));
    EXPECT_EQ(twins.offset, 0.25);
}

TEST(PresolveTest, MapsBackAndChecksTheFullProgramme) {
    const Programme p = programme({{0, 1, 2}, {0, 1, 2}, {0, 1, 4}, {3}, {4, 5}}, {1, 1, 1, 1, 1, 1}, 2);
    const Reduced r = presolve(p);
    // An optimum of the reduced programme: x0 = 1, x4 = 1, the folded row
    // left unexplained (e = 1 at cost -1): 2 - 1 + offset 1 = 2.
    ReducedSolution s{{1, 1}, {0, 0, 0}, {1}, 1.0, {}};
    std::vector<double> x, e;
    EXPECT_EQ(map_back(p, r, s, 6, x, e), "");
    EXPECT_EQ(x, (Doubles{1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(e, (Doubles{0, 0, 0, 1, 0}));
    // A wrong mapping is caught: a row left short, an objective that
    // does not add up, a budget overdrawn.
    ReducedSolution shortfall{{1, 0.6}, {0, 0, 0}, {1}, 0.6, {}};
    EXPECT_EQ(map_back(p, r, shortfall, 6, x, e), "row 6 (protein pair 4) is covered to 0.6 only");
    ReducedSolution drifted{{1, 1}, {0, 0, 0}, {1}, 0.5, {}};
    EXPECT_EQ(map_back(p, r, drifted, 6, x, e), "the objective 2 differs from the reduced optimum 1.5");
    ReducedSolution overdrawn{{0, 1}, {1, 0, 0}, {1}, 0.0, {}};
    EXPECT_EQ(map_back(p, r, overdrawn, 6, x, e), "the unexplained pairs exceed the budget: 3.000000 > 2");
    // The simplex's own tolerance: a row short by 9e-7 is covered, by 2e-6
    // it is not.
    ReducedSolution hair{{1, 1 - 9e-7}, {0, 0, 0}, {1}, 1 - 9e-7, {}};
    EXPECT_EQ(map_back(p, r, hair, 6, x, e), "");
    ReducedSolution short_by_more{{1, 1 - 2e-6}, {0, 0, 0}, {1}, 1 - 2e-6, {}};
    EXPECT_EQ(map_back(p, r, short_by_more, 6, x, e), "row 6 (protein pair 4) is covered to 0.999998 only");
    // A folded e above 1 maps to x = 0, not below: the objective follows
    // that move, so the solver's own objective still adds up.
    ReducedSolution above{{1, 1}, {0, 0, 0}, {1 + 3e-6}, 1 - 3e-6, {}};
    EXPECT_EQ(map_back(p, r, above, 6, x, e), "");
    EXPECT_EQ(x[3], 0.0);
    // A face sample is held to the classic optimum of the full programme.
    ReducedSolution sample{{1, 1}, {0, 0, 0}, {1}, 0.0, 2.0};
    EXPECT_EQ(map_back(p, r, sample, 6, x, e), "");
    sample.full_objective = 2.5;
    EXPECT_EQ(map_back(p, r, sample, 6, x, e), "the objective 2 differs from the reduced optimum 2.5");
}

// A candidate that the domain side does not support (its sides of the
// memberships disagree) stays in its rows but, as in the LP file, out of
// the objective: it costs nothing, with unit costs and with costs given.
TEST(PresolveTest, AnUnavailableCandidateCostsNothing) {
    Net net = make_net("2\nP Q\nR S\n", "3\nA: P R\nB: Q S\nC: S\n", false);
    net.network.dom[0].links = {2};  // A: R only
    net.network.dom[0].n = 1;
    net.network.dom[1].links = {1};  // B: Q only
    net.network.dom[1].n = 1;
    std::ostringstream out;
    construct_dint(net.network, net.pint, net.dint, out);
    ASSERT_EQ(out.str(), "Available domain pairs: 1\n");  // (A, B) unavailable, (A, C) from R S
    const Programme unit = build_programme(net.network, net.pint, net.dint, 0.0f, {});
    const Programme given = build_programme(net.network, net.pint, net.dint, 0.0f, {5.0, 7.0});
    EXPECT_EQ(unit.rows(), 2u);
    EXPECT_EQ((std::vector<double>{unit.cost_of(0), unit.cost_of(1)}), (std::vector<double>{0, 1}));
    EXPECT_EQ((std::vector<double>{given.cost_of(0), given.cost_of(1)}), (std::vector<double>{0, 7}));
    // Free, (A, B) covers both rows at 1, yet takes no value: the table
    // holds 0 for it, and so does a null run's read of it, which releases
    // the table.
    inter_table table = net.dint;
    std::ostringstream err;
    ASSERT_EQ(clp_in_process(net.network, net.pint, table, RunFiles{}, 0.0f, {}, false, err, nullptr), 0) << err.str();
    EXPECT_EQ((std::vector<double>{table.list[0].value, table.list[1].value}), (std::vector<double>{0, 0}));
    WantedValues wanted{{1, 0, -1}, {}};
    ASSERT_EQ(clp_in_process(net.network, net.pint, net.dint, RunFiles{}, 0.0f, {}, false, err, nullptr, Start::idiot,
                             &wanted),
              0);
    EXPECT_EQ(net.dint.n, 0);
    EXPECT_EQ(wanted.values, (std::vector<double>{0, 0, 0}));
}

// Every row holds a column of its own and folds; rows 3 and 4 are the same
// row twice (weight 2). Folded rows of one cost and weight
// are one group: {0, 1} at cost 1 and weight 1, {3} at cost 0.5 (its own
// group though its weight matches), and the twice-counted row alone.
TEST(PresolveTest, FoldedRowsOfOneCostAndWeightAreOneColumn) {
    const Programme p = programme({{0}, {1}, {4}, {5}, {5}}, {1, 1, 1, 1, 0.5, 1}, 3);
    const Reduced r = presolve(p);
    ASSERT_EQ(r.folded_record, (Ints{0, 1, 4, 5}));
    ASSERT_EQ(r.folded_weight, (Doubles{1, 1, 1, 2}));
    const FoldedGroups g = group_folded(r);
    EXPECT_EQ(g.group_of, (Ints{0, 0, 1, 2}));
    EXPECT_EQ(g.cost, (Doubles{1, 0.5, 1}));
    EXPECT_EQ(g.weight, (Doubles{1, 1, 2}));
    EXPECT_EQ(g.size, (Ints{2, 1, 1}));
    // A group's value goes to its first members: 1.25 of {0, 1} is 1 and
    // 0.25; values a hair outside the bounds stay inside them.
    EXPECT_EQ(split_folded(g, {1.25, 0.0, 1.0}), (Doubles{1, 0.25, 0, 1}));
    EXPECT_EQ(split_folded(g, {2.0 + 1e-9, -1e-9, 0.5}), (Doubles{1, 1, 0, 0.5}));
}

}  // namespace
}  // namespace ddinfer::test

namespace ddinfer::test {
namespace {

// A random network big enough for many folded rows, whose budget's price
// moves from one cost draw to the next by more than the sampler's first
// band.
Net random_network(unsigned seed) {
    std::mt19937 random(seed);
    const int proteins = 400, domains = 300;
    std::map<int, std::vector<int>> members;
    for (int p = 0; p < proteins; ++p) {
        const int count = 1 + static_cast<int>(random() % 2);
        for (int k = 0; k < count; ++k) members[static_cast<int>(random() % domains)].push_back(p);
    }
    std::set<std::pair<int, int>> pairs;
    while (pairs.size() < 1200) {
        const int a = static_cast<int>(random() % proteins), b = static_cast<int>(random() % proteins);
        if (a != b && !pairs.count({b, a})) pairs.insert({a, b});
    }
    std::ostringstream pairs_text, domains_text;
    pairs_text << pairs.size() << "\n";
    for (const auto& [a, b] : pairs) pairs_text << 'P' << a << " P" << b << "\n";
    domains_text << members.size() << "\n";
    for (const auto& [d, ps] : members) {
        domains_text << 'D' << d << ':';
        for (int p : ps) domains_text << " P" << p;
        domains_text << "\n";
    }
    return make_net(pairs_text.str(), domains_text.str());
}

// min u x over the classic programme's optima, solved whole by CLP: every
// row, the budget, the optimum as a row, the candidates that the presolve
// drops as dominated held at 0 (as the sampler holds them), and of a set of
// identical candidates any member.
double cheapest_optimum(const Programme& full, const Reduced& reduced, double optimum, const std::vector<double>& u) {
    std::set<int> allowed(reduced.column_record.begin(), reduced.column_record.end());
    allowed.insert(reduced.folded_record.begin(), reduced.folded_record.end());
    for (const std::vector<int>& cls : classes(reduced)) {
        if (allowed.count(cls.front())) allowed.insert(cls.begin(), cls.end());  // not when the set was dropped
    }
    const int records = static_cast<int>(full.columns()), rows = static_cast<int>(full.rows());
    CoinPackedMatrix matrix(false, 0, 0);
    matrix.setDimensions(rows + 2, 0);
    std::vector<double> lower, upper, cost;
    std::vector<CoinPackedVector> columns(static_cast<std::size_t>(records));
    for (int r = 0; r < rows; ++r) {
        for (int c : full.row(static_cast<std::size_t>(r))) columns[c].insert(r, 1.0);
    }
    for (int c = 0; c < records; ++c) {
        CoinPackedVector& column = columns[c];
        column.insert(rows + 1, full.cost_of(static_cast<std::size_t>(c)));
        matrix.appendCol(column);
        lower.push_back(0);
        upper.push_back(allowed.count(c) ? COIN_DBL_MAX : 0);
        cost.push_back(u[c]);
    }
    for (int r = 0; r < rows; ++r) {
        CoinPackedVector column;
        column.insert(r, 1.0);
        column.insert(rows, 1.0);
        matrix.appendCol(column);
        lower.push_back(0);
        upper.push_back(COIN_DBL_MAX);
        cost.push_back(0);
    }
    std::vector<double> row_lower(rows, 1.0), row_upper(rows, COIN_DBL_MAX);
    row_lower.push_back(-COIN_DBL_MAX);
    row_upper.push_back(static_cast<double>(full.budget));
    row_lower.push_back(optimum);
    row_upper.push_back(optimum);
    ClpSimplex model;
    model.setLogLevel(0);
    model.loadProblem(matrix, lower.data(), upper.data(), cost.data(), row_lower.data(), row_upper.data());
    model.dual();
    EXPECT_EQ(model.status(), 0);
    return model.objectiveValue();
}

// Each sample is an optimum of the classic programme (the sampler checks
// that itself) and the cheapest of them for its costs: the band of folded
// rows fixed from the last price, and the rows and columns the face
// settles once, lose nothing.
TEST(FaceSamplerTest, EverySampleIsTheCheapestOptimumOfTheFace) {
    for (unsigned seed : {1u, 2u}) {
        const Net net = random_network(seed);
        const float ratio = 0.2f;
        const FaceSampler sampler(net.network, net.pint, net.dint, ratio);
        const Programme full = build_programme(net.network, net.pint, net.dint, ratio, {});
        const Reduced reduced = presolve(full);
        ASSERT_GT(reduced.folded_record.size(), 100u);
        // ddinfer-robust's classic column is the classic command's solution,
        // value for value: the sampler's duals carried over from the grouped
        // solve (not a solve of its own that may stop at another optimal
        // vertex), its values a hair off settled as the command settles them.
        inter_table dint = net.dint;
        std::ostringstream err;
        ASSERT_EQ(clp_in_process(net.network, net.pint, dint, RunFiles{}, ratio, {}, false, err, nullptr), 0) << err.str();
        const std::unique_ptr<OptimalFace> face = make_clp(false)->optimal_face(net.network, net.pint, net.dint, ratio, ".", false);
        int differing = 0;
        for (int r = 0; r < dint.n; ++r) {
            if (dint.list[r].active == 1) differing += dint.list[r].value != face->classic()[r];
        }
        EXPECT_EQ(differing, 0) << "seed " << seed;
        // A null run reads only some values (here every record's, backwards,
        // and a pair that is no candidate): they are the table's, while the
        // table itself goes with the solve.
        inter_table released = net.dint;
        WantedValues wanted;
        for (int r = dint.n - 1; r >= -1; --r) wanted.records.push_back(r);
        ASSERT_EQ(clp_in_process(net.network, net.pint, released, RunFiles{}, ratio, {}, false, err, nullptr,
                                 Start::idiot, &wanted),
                  0);
        EXPECT_EQ(released.n, 0);
        EXPECT_EQ(released.index.size(), 0u);
        ASSERT_EQ(wanted.values.size(), static_cast<std::size_t>(dint.n) + 1);
        EXPECT_EQ(wanted.values.back(), 0.0);
        for (int r = 0; r < dint.n; ++r) differing += wanted.values[dint.n - 1 - r] != dint.list[r].value;
        EXPECT_EQ(differing, 0) << "seed " << seed;
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> draw(0.0, 1.0);
        for (int run = 0; run < 12; ++run) {
            std::vector<double> u(static_cast<std::size_t>(net.dint.n)), x;
            for (double& value : u) value = draw(random);
            ASSERT_EQ(sampler.sample(u, x), "") << "seed " << seed << " run " << run;
            double cost = 0;
            for (std::size_t r = 0; r < u.size(); ++r) cost += u[r] * x[r];
            EXPECT_NEAR(cost, cheapest_optimum(full, reduced, sampler.optimum(), u), 1e-6)
                << "seed " << seed << " run " << run;
        }
    }
}

}  // namespace
}  // namespace ddinfer::test
