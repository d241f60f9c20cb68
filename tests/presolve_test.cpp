#include "solve/presolve.h"

#include <gtest/gtest.h>

namespace ddinfer::test {
namespace {

Programme programme(std::vector<std::vector<int>> rows, std::vector<double> cost, std::int64_t budget) {
    Programme p;
    for (std::size_t r = 0; r < rows.size(); ++r) p.row_pair.push_back(static_cast<int>(r));
    p.row_terms = std::move(rows);
    p.cost = std::move(cost);
    p.budget = budget;
    return p;
}

using Rows = std::vector<std::vector<int>>;
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
    EXPECT_EQ(r.classes, (Rows{{0, 1}}));
    // Rows: {0} twice (weight 2), then {0, 4}, then {4}.
    EXPECT_EQ(r.row_columns, (Rows{{0}, {0, 1}, {1}}));
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
    EXPECT_EQ(twins.classes, (Rows{{1, 0}}));
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
