#include "solve/clp_model.h"

#include <ClpPresolve.hpp>
#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>
#include <Idiot.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "core/heap.h"

namespace ddinfer {
namespace {

// CLP keeps its scaled rows to 1e-7; unscaled, that can exceed the 1e-6 the
// solution is checked to. 1e-8 keeps them well inside.
constexpr double clp_primal_tolerance = 1e-8;

std::string status_failure(const ClpSimplex& model) {
    if (model.status() == 0) return "";
    static const char* const names[] = {"optimal", "infeasible", "unbounded", "stopped on iterations or time",
                                        "stopped by errors"};
    const int status = model.status();
    return std::string("clp found no optimal solution: ") +
           (status >= 0 && status <= 4 ? names[status] : "status " + std::to_string(status));
}

// The idiot crash (an approximate solve by penalties) on the presolved
// programme, then the primal simplex from where it ends. When the crash
// ends nearly feasible and near the optimum, its crossover fixes every
// column settled at a bound and solves only the rest: on a proteome that
// rest is a few thousand rows, and the whole solve stays close to linear in
// the network. How near it ends depends on how far the penalty weight has
// come down in its passes. Measured on human BioGRID scaled 0.5x to 4x
// (three draws at 4x), on a null model and on the real networks: from
// weight 100, 4 full passes ended near enough on every one (about 6 s of
// CLP at 4x). ClpSolve's own driver, asked for 3 passes, runs its
// lightweight variant from weight 1000; at 4x that left 120,000 simplex
// iterations (11 s), and 3 full passes from 1000 a rest of 66,000 rows on
// one draw (13 s).
std::string solve_idiot(ClpSimplex& model) {
    model.setPrimalTolerance(clp_primal_tolerance);
    ClpPresolve presolve;
    std::unique_ptr<ClpSimplex> reduced(presolve.presolvedModel(model, 1e-8));
    if (reduced == nullptr) {  // presolve found the programme infeasible: let the simplex say so
        model.primal(1);
        return status_failure(model);
    }
    reduced->setPrimalTolerance(clp_primal_tolerance);
    Idiot idiot(*reduced);
    idiot.setStrategy(idiot.getStrategy() | 512 | 32);  // crossover with fixing; scaled models
    idiot.setStartingWeight(100);
    idiot.crash(4, reduced->messageHandler(), reduced->messagesPointer());
    reduced->primal(1);
    presolve.postsolve(true);
    reduced.reset();
    model.primal(1);  // from the postsolved basis: a few iterations at most
    return status_failure(model);
}

}  // namespace

void load_reduced(ClpSimplex& model, const Reduced& red, const FoldedGroups* groups) {
    const int nx = static_cast<int>(red.column_record.size());
    const int ne = static_cast<int>(red.rows());
    const int nf = static_cast<int>(groups != nullptr ? groups->size.size() : red.folded_record.size());
    const int terms = ne + nf;
    const int block = std::max(64, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(terms)))));
    const int blocks = terms <= block ? 0 : (terms + block - 1) / block;  // 0: one budget row
    const int ncols = nx + ne + nf + blocks, nrows = ne + blocks + 1;
    const int budget = nrows - 1;
    // The row of a budget term: e first, then the folded columns.
    auto budget_row = [&](int term) { return blocks == 0 ? budget : ne + term / block; };
    // The x columns' rows, counted out of the rows' columns.
    std::vector<std::size_t> column_start;
    std::vector<int> rows;
    transpose(red.rows(), [&](std::size_t r) { return red.row(r); }, static_cast<std::size_t>(nx), column_start, rows);
    std::vector<CoinBigIndex> starts(column_start.begin(), column_start.end());
    std::vector<double> elements(rows.size(), 1.0), lower(static_cast<std::size_t>(ncols), 0.0),
        upper(static_cast<std::size_t>(ncols), COIN_DBL_MAX), objective(static_cast<std::size_t>(ncols), 0.0);
    for (int c = 0; c < nx; ++c) objective[c] = red.column_cost[c];
    for (int r = 0; r < ne; ++r) {
        rows.push_back(r);
        elements.push_back(1.0);
        rows.push_back(budget_row(r));
        elements.push_back(red.row_weight[r]);
        starts.push_back(static_cast<CoinBigIndex>(rows.size()));
    }
    for (int f = 0; f < nf; ++f) {
        rows.push_back(budget_row(ne + f));
        elements.push_back(groups != nullptr ? groups->weight[f] : red.folded_weight[f]);
        starts.push_back(static_cast<CoinBigIndex>(rows.size()));
        objective[nx + ne + f] = -(groups != nullptr ? groups->cost[f] : red.folded_cost[f]);
        upper[nx + ne + f] = groups != nullptr ? groups->size[f] : 1.0;
    }
    for (int k = 0; k < blocks; ++k) {  // s(k): out of block row k, into the budget row
        rows.push_back(ne + k);
        elements.push_back(-1.0);
        rows.push_back(budget);
        elements.push_back(1.0);
        starts.push_back(static_cast<CoinBigIndex>(rows.size()));
    }
    std::vector<double> row_lower(static_cast<std::size_t>(nrows), 1.0),
        row_upper(static_cast<std::size_t>(nrows), COIN_DBL_MAX);
    for (int k = 0; k < blocks; ++k) row_lower[ne + k] = row_upper[ne + k] = 0.0;
    row_lower[budget] = -COIN_DBL_MAX;
    row_upper[budget] = static_cast<double>(red.budget);
    model.setLogLevel(0);
    model.loadProblem(ncols, nrows, starts.data(), rows.data(), elements.data(), lower.data(), upper.data(),
                      objective.data(), row_lower.data(), row_upper.data());
}

std::string solve_model(ClpSimplex& model, Start start) {
    if (start == Start::idiot) return solve_idiot(model);
    ClpSolve options;
    options.setPresolveType(start == Start::lightweight_idiot_bare ? ClpSolve::presolveOff : ClpSolve::presolveOn);
    options.setSpecialOption(2, 1);  // no interrupt handler of CLP's own
    if (start == Start::dual_slack) {
        model.allSlackBasis(true);
        options.setSolveType(ClpSolve::useDual);
        options.setSpecialOption(0, 0);  // no crash: the slack basis
    } else {
        options.setSolveType(ClpSolve::usePrimal);
        options.setSpecialOption(1, 2, 3);  // the idiot crash, 3 passes
    }
    model.setPrimalTolerance(clp_primal_tolerance);
    model.initialSolve(options);
    return status_failure(model);
}

void read_solution(const ClpSimplex& model, const Reduced& red, ReducedSolution& solution,
                   const FoldedGroups* groups) {
    const auto nx = static_cast<std::ptrdiff_t>(red.column_record.size());
    const auto ne = static_cast<std::ptrdiff_t>(red.rows());
    const double* x = model.getColSolution();
    solution.x.assign(x, x + nx);
    solution.e.assign(x + nx, x + nx + ne);
    const auto nf = static_cast<std::ptrdiff_t>(groups != nullptr ? groups->size.size() : red.folded_record.size());
    solution.folded_e.assign(x + nx + ne, x + nx + ne + nf);
    if (groups != nullptr) solution.folded_e = split_folded(*groups, solution.folded_e);
    solution.objective = model.objectiveValue();
}

std::string solve_grouped(ClpSimplex& model, const Reduced& red, ReducedSolution& solution, Start start) {
    const LargeBlocksToSystem large_blocks;
    const FoldedGroups groups = group_folded(red);
    load_reduced(model, red, &groups);
    if (std::string failure = solve_model(model, start); !failure.empty()) return failure;
    read_solution(model, red, solution, &groups);
    return "";
}

bool duals_from_grouped(const ClpSimplex& grouped, const ClpSimplex& model, const ReducedSolution& solution,
                        double dual_tolerance, double primal_tolerance, std::vector<double>& dual,
                        std::vector<double>& reduced_cost) {
    const int ncols = model.getNumCols(), nrows = model.getNumRows();
    const std::size_t nx = solution.x.size(), ne = solution.e.size(), nf = solution.folded_e.size();
    const double* grouped_dual = grouped.getRowPrice();
    const double budget_dual = grouped_dual[grouped.getNumRows() - 1];
    dual.assign(static_cast<std::size_t>(nrows), budget_dual);
    std::copy(grouped_dual, grouped_dual + ne, dual.begin());
    const CoinPackedMatrix& matrix = *model.matrix();
    reduced_cost.assign(static_cast<std::size_t>(ncols), 0.0);
    matrix.transposeTimes(dual.data(), reduced_cost.data());
    const double* cost = model.getObjCoefficients();
    for (int c = 0; c < ncols; ++c) reduced_cost[c] = cost[c] - reduced_cost[c];

    // The solution's value of every column; each block's column carries
    // what its block row gathers.
    std::vector<double> value(static_cast<std::size_t>(ncols), 0.0), activity(static_cast<std::size_t>(nrows));
    std::copy(solution.x.begin(), solution.x.end(), value.begin());
    std::copy(solution.e.begin(), solution.e.end(), value.begin() + static_cast<std::ptrdiff_t>(nx));
    std::copy(solution.folded_e.begin(), solution.folded_e.end(), value.begin() + static_cast<std::ptrdiff_t>(nx + ne));
    matrix.times(value.data(), activity.data());
    for (std::size_t c = nx + ne + nf; c < static_cast<std::size_t>(ncols); ++c) {
        value[c] = activity[ne + (c - nx - ne - nf)];
    }
    matrix.times(value.data(), activity.data());

    const double* lower = model.getColLower();
    const double* upper = model.getColUpper();
    for (int c = 0; c < ncols; ++c) {
        if (reduced_cost[c] > dual_tolerance && value[c] > lower[c] + primal_tolerance) return false;
        if (reduced_cost[c] < -dual_tolerance && value[c] < upper[c] - primal_tolerance) return false;
    }
    const double* row_lower = model.getRowLower();
    const double* row_upper = model.getRowUpper();
    for (int r = 0; r < nrows; ++r) {
        if (dual[r] > dual_tolerance && !(row_lower[r] > -COIN_DBL_MAX && activity[r] <= row_lower[r] + primal_tolerance)) {
            return false;
        }
        if (dual[r] < -dual_tolerance && !(row_upper[r] < COIN_DBL_MAX && activity[r] >= row_upper[r] - primal_tolerance)) {
            return false;
        }
    }
    return true;
}

}  // namespace ddinfer
