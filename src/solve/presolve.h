// An exact presolve of the programme, for the in-process clp path.
//
// The programme: minimise sum c_j x_j subject to, for every row (a modelled
// protein pair), the sum of its x plus its own e at least 1, and the sum of
// all e at most the budget; every variable at least 0. Reductions, repeated
// until nothing changes:
//  - rows with the same set of columns are merged; the merged row's e
//    stands for every copy, so it counts once per copy in the budget row;
//  - of columns with the same set of rows (domain pairs the data cannot
//    tell apart) one is kept: the cheapest, the first in candidate order
//    among equals;
//  - a column whose rows are a proper subset of another's, at a cost at
//    least that other's, is dropped (the other covers all its rows);
// then every row whose one column appears in no other row is folded into
// the budget row: x = 1 - e, so the row goes, its e becomes a budget-only
// column in [0, 1] of cost -c, and the objective gains c.
// Every optimal solution of the reduced programme maps back to an optimal
// solution of the full one.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/lp_out.h"
#include "core/network.h"

namespace ddinfer {

// The full programme, by candidate record numbers. The rows' records sit
// in one array (a list apiece costs an allocation a row on a proteome).
struct Programme {
    std::vector<int> row_pair;                 // pint record of each row
    std::vector<std::size_t> row_start{0};     // row r's records: terms[row_start[r], row_start[r + 1])
    std::vector<int> terms;                    // candidate records of each row, sorted, distinct
    // Cost by candidate record, 0 for one not in the objective. Unit costs,
    // the usual case, are held as which records count: a byte a record
    // rather than eight (21 MB less on a null model of 3 million candidates).
    std::vector<double> cost;                  // empty with unit costs
    std::vector<char> counted;                 // unit costs: 1 for a record in the objective
    std::int64_t budget = 0;

    std::size_t rows() const { return row_pair.size(); }
    std::size_t columns() const { return cost.empty() ? counted.size() : cost.size(); }
    double cost_of(std::size_t record) const { return cost.empty() ? counted[record] : cost[record]; }
    std::span<const int> row(std::size_t r) const {
        return {terms.data() + row_start[r], terms.data() + row_start[r + 1]};
    }
    // Appends the row of pint record `pair` (records sorted, distinct).
    void add_row(int pair, std::span<const int> records) {
        row_pair.push_back(pair);
        terms.insert(terms.end(), records.begin(), records.end());
        row_start.push_back(terms.size());
    }
};

// Lists held flat, turned round: given `rows` lists of columns (row(r)
// gives row r's), column c's rows in row order are items[start[c],
// start[c + 1]) for the `columns` columns.
template <class Row>
void transpose(std::size_t rows, Row row, std::size_t columns, std::vector<std::size_t>& start,
               std::vector<int>& items) {
    start.assign(columns + 1, 0);
    for (std::size_t r = 0; r < rows; ++r) {
        for (int c : row(r)) ++start[static_cast<std::size_t>(c) + 1];
    }
    for (std::size_t c = 0; c < columns; ++c) start[c + 1] += start[c];
    items.resize(start[columns]);
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t r = 0; r < rows; ++r) {
        for (int c : row(r)) items[next[static_cast<std::size_t>(c)]++] = static_cast<int>(r);
    }
}

// The programme that LP_out writes, as rows of candidate records.
Programme build_programme(const protdom& network, const inter_table& pint, const inter_table& dint, float err_ratio,
                          const Costs& costs);

struct Reduced {
    std::vector<int> column_record;           // candidate record of each kept x column
    std::vector<double> column_cost;
    std::vector<std::size_t> row_start{0};    // kept row k's x columns: row_items[row_start[k], row_start[k + 1])
    std::vector<int> row_items;
    std::vector<double> row_weight;           // copies of each kept row (its e's budget coefficient)
    std::vector<int> folded_record;           // the x of each folded row
    std::vector<double> folded_cost;
    std::vector<double> folded_weight;
    double offset = 0;                        // the objective's constant
    std::int64_t budget = 0;
    // For every row of the full programme: its kept row r (r >= 0) or its
    // folded row f (-1 - f).
    std::vector<int> row_place;
    // Sets of two or more identical columns, by candidate record, the kept
    // one first, the others in record order; set k is
    // class_items[class_start[k], class_start[k + 1]). The sets come in the
    // order of their lowest record.
    std::vector<std::size_t> class_start{0};
    std::vector<int> class_items;

    std::size_t rows() const { return row_weight.size(); }
    std::span<const int> row(std::size_t k) const {
        return {row_items.data() + row_start[k], row_items.data() + row_start[k + 1]};
    }
    std::size_t classes() const { return class_start.size() - 1; }
    std::span<const int> members(std::size_t k) const {
        return {class_items.data() + class_start[k], class_items.data() + class_start[k + 1]};
    }
};

Reduced presolve(const Programme& full);

// The budget-only columns (the e of folded rows) that share a cost and a
// budget weight are identical to the simplex: each such set is one column
// of bound n (its n members). Any split of the set's value among its
// members keeps every row, bound and the objective; split_folded gives the
// first members 1, the next one the rest, the others 0.
struct FoldedGroups {
    std::vector<int> group_of;         // by folded row
    std::vector<double> cost, weight;  // by group
    std::vector<int> size;             // by group
};
FoldedGroups group_folded(const Reduced& reduced);

// e of every folded row from the value of every group.
std::vector<double> split_folded(const FoldedGroups& groups, const std::vector<double>& value);

// A solution of the reduced programme: x of its columns, e of its rows,
// e of its folded rows.
struct ReducedSolution {
    std::vector<double> x, e, folded_e;
    double objective = 0;
    // When set, the full programme's objective that the solution must
    // reach instead (a sample of the optimal face: the classic optimum).
    std::optional<double> full_objective;
};

// The feasibility tolerance the simplex works to: a row covered to within
// it of 1, or a budget or optimum met to within it relatively, is met.
constexpr double simplex_tolerance = 1e-6;

// A simplex value on the grid of the simplex's own tolerance: 0.4999996 is
// the 0.5 it stands for and meets the 0.5 threshold, 1.0000003 is 1.
inline double settled(double value) { return std::round(value / simplex_tolerance) * simplex_tolerance; }

// Maps back to the full programme: x by candidate record (records not in
// the programme 0), e by row. Then checks every row (simplex_tolerance
// absolute), the budget and the objective (the reduced optimum plus the
// offset; simplex_tolerance relative); returns "" or what failed.
std::string map_back(const Programme& full, const Reduced& reduced, const ReducedSolution& solution,
                     std::size_t records, std::vector<double>& x, std::vector<double>& e);

}  // namespace ddinfer
