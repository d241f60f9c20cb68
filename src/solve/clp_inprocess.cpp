#include "solve/clp_inprocess.h"

#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <ostream>

#include "core/atomic_file.h"
#include "core/error.h"
#include "core/lp_out.h"
#include "solve/presolve.h"
#include "core/text_out.h"

namespace ddinfer {
namespace {

// A simplex value on the grid of the simplex's own tolerance: 0.4999996 is
// the 0.5 it stands for and meets the 0.5 threshold, 1.0000003 is 1.
double settled(double value) { return std::round(value / simplex_tolerance) * simplex_tolerance; }

// The reduced programme in CLP: x columns, one e a kept row, one e a folded
// row (cost -c, at most 1) or, given groups, one column a group of folded
// rows (at most its size); the kept rows, then the budget.
// The budget row holds a term for every e, and one row that long makes the
// factorisation of every basis quadratic in the rows (each pivot on an e
// edits it). So its terms are split into blocks of about the square root of
// their number: block k's terms equal its sum s(k), and the sums are at
// most the budget; s >= 0 at no cost. The two say the same, every row stays
// short, and no sum depends on another (a chain of running sums would make
// the basis inverse dense).
void load_reduced(ClpSimplex& model, const Reduced& red, const FoldedGroups* groups = nullptr) {
    const int nx = static_cast<int>(red.column_record.size());
    const int ne = static_cast<int>(red.row_columns.size());
    const int nf = static_cast<int>(groups != nullptr ? groups->size.size() : red.folded_record.size());
    const int terms = ne + nf;
    const int block = std::max(64, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(terms)))));
    const int blocks = terms <= block ? 0 : (terms + block - 1) / block;  // 0: one budget row
    const int ncols = nx + ne + nf + blocks, nrows = ne + blocks + 1;
    const int budget = nrows - 1;
    // The row of a budget term: e first, then the folded columns.
    auto budget_row = [&](int term) { return blocks == 0 ? budget : ne + term / block; };
    std::vector<std::vector<int>> column_rows(static_cast<std::size_t>(nx));
    for (int r = 0; r < ne; ++r) {
        for (int c : red.row_columns[r]) column_rows[c].push_back(r);
    }
    std::vector<CoinBigIndex> starts{0};
    std::vector<int> rows;
    std::vector<double> elements, lower(static_cast<std::size_t>(ncols), 0.0),
        upper(static_cast<std::size_t>(ncols), COIN_DBL_MAX), objective(static_cast<std::size_t>(ncols), 0.0);
    for (int c = 0; c < nx; ++c) {
        for (int r : column_rows[c]) {
            rows.push_back(r);
            elements.push_back(1.0);
        }
        starts.push_back(static_cast<CoinBigIndex>(rows.size()));
        objective[c] = red.column_cost[c];
    }
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

// How a programme is solved. Every start uses CLP's presolve; CLP's own
// handling of SIGINT is off, since the commands handle signals themselves
// and solves run on several threads at once.
//  - primal: CLP's own start for the primal simplex: the classic solve of
//    the optimal face, kept as it was so that robust tables stay the same.
//  - primal_idiot: the idiot crash (3 passes) before the primal simplex.
//    On shuffled networks this is 3x faster than a plain primal start and
//    on the real ones 4x; the optimum is the same, the vertex may differ.
//  - dual_slack: the dual simplex from the slack basis, which is dual
//    feasible for any objective of non-negative costs on x (every x at 0,
//    every folded e at whichever bound its cost prefers): the face samples,
//    40-80x faster than starting from the classic optimal basis.
enum class Start { primal, primal_idiot, dual_slack };

std::string solve_model(ClpSimplex& model, Start start) {
    ClpSolve options;
    options.setPresolveType(ClpSolve::presolveOn);
    options.setSpecialOption(2, 1);  // no interrupt handler of CLP's own
    if (start == Start::dual_slack) {
        model.allSlackBasis(true);
        options.setSolveType(ClpSolve::useDual);
        options.setSpecialOption(0, 0);  // no crash: the slack basis
    } else {
        options.setSolveType(ClpSolve::usePrimal);
        if (start == Start::primal_idiot) options.setSpecialOption(1, 2, 3);  // the idiot crash, 3 passes
    }
    // CLP keeps its scaled rows to 1e-7; unscaled, that can exceed the 1e-6
    // the solution is checked to. 1e-8 keeps them well inside.
    model.setPrimalTolerance(1e-8);
    model.initialSolve(options);
    if (model.status() == 0) return "";
    static const char* const names[] = {"optimal", "infeasible", "unbounded", "stopped on iterations or time",
                                        "stopped by errors"};
    const int status = model.status();
    return std::string("clp found no optimal solution: ") +
           (status >= 0 && status <= 4 ? names[status] : "status " + std::to_string(status));
}

void read_solution(const ClpSimplex& model, const Reduced& red, ReducedSolution& solution,
                   const FoldedGroups* groups = nullptr) {
    const auto nx = static_cast<std::ptrdiff_t>(red.column_record.size());
    const auto ne = static_cast<std::ptrdiff_t>(red.row_columns.size());
    const double* x = model.getColSolution();
    solution.x.assign(x, x + nx);
    solution.e.assign(x + nx, x + nx + ne);
    const auto nf = static_cast<std::ptrdiff_t>(groups != nullptr ? groups->size.size() : red.folded_record.size());
    solution.folded_e.assign(x + nx + ne, x + nx + ne + nf);
    if (groups != nullptr) solution.folded_e = split_folded(*groups, solution.folded_e);
    solution.objective = model.objectiveValue();
}

// The folded rows of one cost and weight as one column each: on the
// networks of a proteome, the simplex then sees a few columns where it saw
// hundreds of thousands.
std::string solve_reduced(const Reduced& red, ReducedSolution& solution) {
    const FoldedGroups groups = group_folded(red);
    ClpSimplex model;
    load_reduced(model, red, &groups);
    if (std::string failure = solve_model(model, Start::primal_idiot); !failure.empty()) return failure;
    read_solution(model, red, solution, &groups);
    return "";
}

}  // namespace

FaceSampler::FaceSampler(const protdom& network, const inter_table& pint, const inter_table& dint, float err_ratio)
    : full_(build_programme(network, pint, dint, err_ratio, {})), reduced_(presolve(full_)),
      face_(std::make_unique<ClpSimplex>()), records_(static_cast<std::size_t>(dint.n)) {
    ClpSimplex& model = *face_;
    load_reduced(model, reduced_);
    if (const std::string failure = solve_model(model, Start::primal_idiot); !failure.empty()) throw Error(failure);
    ReducedSolution solution;
    read_solution(model, reduced_, solution);
    std::vector<double> e;
    if (const std::string failure = map_back(full_, reduced_, solution, records_, classic_, e); !failure.empty()) {
        throw Error("the solution of the reduced programme fails the full one: " + failure);
    }
    for (std::size_t r = 0; r < records_; ++r) optimum_ += full_.cost[r] * classic_[r];

    // Every optimal solution keeps a column of positive reduced cost at its
    // bound and a row of non-zero dual tight: fixing those leaves the face
    // of optimal solutions, on which any objective may be minimised.
    constexpr double tolerance = 1e-6;
    const int ncols = model.getNumCols(), nrows = model.getNumRows();
    const double* reduced_cost = model.getReducedCost();
    const double* dual = model.getRowPrice();
    std::vector<double> lower(model.getColLower(), model.getColLower() + ncols);
    std::vector<double> upper(model.getColUpper(), model.getColUpper() + ncols);
    for (int c = 0; c < ncols; ++c) {
        if (reduced_cost[c] > tolerance) upper[c] = lower[c];
        if (reduced_cost[c] < -tolerance) lower[c] = upper[c];
    }
    std::vector<double> row_lower(model.getRowLower(), model.getRowLower() + nrows);
    std::vector<double> row_upper(model.getRowUpper(), model.getRowUpper() + nrows);
    for (int r = 0; r < nrows; ++r) {
        if (std::fabs(dual[r]) <= tolerance) continue;
        if (row_lower[r] > -COIN_DBL_MAX) row_upper[r] = row_lower[r];
        else row_lower[r] = row_upper[r];
    }
    model.chgColumnLower(lower.data());
    model.chgColumnUpper(upper.data());
    model.chgRowLower(row_lower.data());
    model.chgRowUpper(row_upper.data());

    // The candidates each column stands for: its class, or itself.
    std::unordered_map<int, const std::vector<int>*> class_of;
    for (const std::vector<int>& cls : reduced_.classes) class_of[cls.front()] = &cls;
    auto members = [&](int record) {
        const auto it = class_of.find(record);
        return it == class_of.end() ? std::vector<int>{record} : *it->second;
    };
    for (int record : reduced_.column_record) column_members_.push_back(members(record));
    for (int record : reduced_.folded_record) folded_members_.push_back(members(record));
}

FaceSampler::~FaceSampler() = default;

std::string FaceSampler::sample(const std::vector<double>& u, std::vector<double>& x) const {
    std::unique_ptr<ClpSimplex> model;
    {
        std::lock_guard lock(mutex_);
        model = std::make_unique<ClpSimplex>(*face_);
    }
    // Of candidates that stand for one another, the cheapest takes the value.
    auto cheapest = [&](const std::vector<int>& members) {
        int best = members.front();
        for (int m : members) {
            if (u[m] < u[best]) best = m;
        }
        return best;
    };
    const std::size_t nx = column_members_.size(), ne = reduced_.row_columns.size();
    std::vector<int> chosen(nx), folded_chosen(folded_members_.size());
    for (std::size_t c = 0; c < nx; ++c) {
        chosen[c] = cheapest(column_members_[c]);
        model->setObjectiveCoefficient(static_cast<int>(c), u[chosen[c]]);
    }
    for (std::size_t f = 0; f < folded_members_.size(); ++f) {
        folded_chosen[f] = cheapest(folded_members_[f]);
        model->setObjectiveCoefficient(static_cast<int>(nx + ne + f), -u[folded_chosen[f]]);
    }
    if (std::string failure = solve_model(*model, Start::dual_slack); !failure.empty()) return failure;
    ReducedSolution solution;
    read_solution(*model, reduced_, solution);
    // On the face the sum of x is the classic optimum.
    solution.full_objective = optimum_;
    std::vector<double> e;
    if (std::string failure = map_back(full_, reduced_, solution, records_, x, e); !failure.empty()) {
        return "the sampled solution is no optimum of the classic programme: " + failure;
    }
    for (double& value : x) value = settled(value);
    for (std::size_t c = 0; c < nx; ++c) std::swap(x[reduced_.column_record[c]], x[chosen[c]]);
    for (std::size_t f = 0; f < folded_chosen.size(); ++f) std::swap(x[reduced_.folded_record[f]], x[folded_chosen[f]]);
    return "";
}

namespace {

void write_listing(const std::string& path, const inter_table& dint,
                   const Programme& full, const std::vector<double>& x, const std::vector<double>& e,
                   double objective) {
    AtomicFile file(path);
    TextOut out(file.file());
    char line[160];
    std::snprintf(line, sizeof line, "Optimal - objective value %.8g\n", objective);
    out << line;
    long long column = 0;
    for (int r = 0; r < dint.n; ++r) {
        const inter& record = dint.list[r];
        if (record.active != 1) continue;
        std::snprintf(line, sizeof line, "%7lld x%d_%d %.12g 0\n", column++, record.a, record.b, settled(x[r]));
        out << line;
    }
    for (std::size_t row = 0; row < full.row_pair.size(); ++row) {
        std::snprintf(line, sizeof line, "%7lld e%d %.12g 0\n", column++, full.row_pair[row], settled(e[row]));
        out << line;
    }
    file.commit(out.flush());
}

}  // namespace

int clp_in_process(const protdom& network, const inter_table& pint, inter_table& dint, const RunFiles& files,
                   float err_ratio, const Costs& costs, bool write_mps, std::ostream& err, ReportSums* sums) {
    if (write_mps) {
        errno = 0;
        if (MPS_out(network, pint, dint, files.mps, err_ratio, costs) != 0) {
            err << files.mps << ": cannot write: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
            return 1;
        }
    }
    const Programme full = build_programme(network, pint, dint, err_ratio, costs);
    const Reduced reduced = presolve(full);
    ReducedSolution solution;
    if (const std::string failure = solve_reduced(reduced, solution); !failure.empty()) {
        err << failure << "\n";
        return 1;
    }
    std::vector<double> x, e;
    if (const std::string failure = map_back(full, reduced, solution, static_cast<std::size_t>(dint.n), x, e);
        !failure.empty()) {
        err << "the solution of the reduced programme fails the full one: " << failure << "\n";
        return 1;
    }
    double objective = 0, x_sum = 0;
    for (int r = 0; r < dint.n; ++r) {
        objective += full.cost[r] * x[r];
        if (dint.list[r].active != 1) continue;
        dint.list[r].value = std::min(1.0, settled(x[r]));
        x_sum += settled(x[r]);
    }
    // An optimum of 0 is not 3e-7, nor the sum of many hairs.
    objective = settled(objective);
    if (sums != nullptr) sums->x_sum += settled(x_sum);
    if (files.out.empty()) return 0;  // no listing wanted
    try {
        write_listing(files.out, dint, full, x, e, objective);
    } catch (const Error& error) {
        err << error.what() << "\n";
        return 1;
    }
    return 0;
}

std::vector<std::vector<int>> identical_columns(const protdom& network, const inter_table& pint,
                                                const inter_table& dint) {
    // The rows' candidate records in one array, then each candidate's rows
    // in another (both flat: a vector per candidate costs more than its
    // contents on a proteome).
    std::vector<std::size_t> row_start{0};
    std::vector<int> row_items;
    for_each_row(network, pint, [&](int, const std::vector<std::pair<int, int>>& terms) {
        const std::size_t begin = row_items.size();
        for (const auto& [a, b] : terms) {
            if (const int r = dint.index.get(a, b); r >= 0) row_items.push_back(r);
        }
        std::sort(row_items.begin() + static_cast<std::ptrdiff_t>(begin), row_items.end());
        row_items.erase(std::unique(row_items.begin() + static_cast<std::ptrdiff_t>(begin), row_items.end()),
                        row_items.end());
        row_start.push_back(row_items.size());
    });
    const auto n = static_cast<std::size_t>(dint.n);
    std::vector<std::size_t> col_start(n + 1, 0);
    for (const int c : row_items) ++col_start[static_cast<std::size_t>(c) + 1];
    for (std::size_t c = 0; c < n; ++c) col_start[c + 1] += col_start[c];
    std::vector<int> col_items(row_items.size());
    {
        std::vector<std::size_t> next(col_start.begin(), col_start.end() - 1);
        for (std::size_t row = 0; row + 1 < row_start.size(); ++row) {
            for (std::size_t i = row_start[row]; i < row_start[row + 1]; ++i) {
                col_items[next[static_cast<std::size_t>(row_items[i])]++] = static_cast<int>(row);
            }
        }
    }
    row_items = std::vector<int>();
    auto rows_of = [&](int c) {
        return std::pair(col_items.begin() + static_cast<std::ptrdiff_t>(col_start[static_cast<std::size_t>(c)]),
                         col_items.begin() + static_cast<std::ptrdiff_t>(col_start[static_cast<std::size_t>(c) + 1]));
    };
    auto same_rows = [&](int x, int y) {
        const auto [xb, xe] = rows_of(x);
        const auto [yb, ye] = rows_of(y);
        return std::equal(xb, xe, yb, ye);
    };
    // Grouped by a hash of the row lists, equal lists checked in full.
    std::vector<std::pair<std::uint64_t, int>> keyed;
    for (int c = 0; c < dint.n; ++c) {
        const auto [begin, end] = rows_of(c);
        if (begin == end) continue;
        std::uint64_t h = 1469598103934665603ULL;
        for (auto it = begin; it != end; ++it) h = (h ^ static_cast<std::uint64_t>(*it)) * 1099511628211ULL;
        keyed.emplace_back(h, c);
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::vector<int>> classes;
    for (std::size_t i = 0; i < keyed.size();) {
        std::size_t j = i + 1;
        while (j < keyed.size() && keyed[j].first == keyed[i].first) ++j;
        std::vector<char> placed(j - i, 0);
        for (std::size_t a = i; a < j; ++a) {
            if (placed[a - i]) continue;
            std::vector<int> members{keyed[a].second};
            for (std::size_t b = a + 1; b < j; ++b) {
                if (!placed[b - i] && same_rows(keyed[b].second, keyed[a].second)) {
                    placed[b - i] = 1;
                    members.push_back(keyed[b].second);
                }
            }
            if (members.size() >= 2) classes.push_back(std::move(members));
        }
        i = j;
    }
    std::sort(classes.begin(), classes.end());  // by their first candidate
    return classes;
}

}  // namespace ddinfer
