#include "clp_inprocess.h"

#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "atomic_file.h"
#include "error.h"
#include "lp_out.h"
#include "presolve.h"
#include "text_out.h"

namespace ddinfer {
namespace {

// The reduced programme in CLP: x columns, one e a kept row, one e a folded
// row (cost -c, at most 1); the kept rows, then the budget row.
std::string solve_reduced(const Reduced& red, ReducedSolution& solution) {
    const int nx = static_cast<int>(red.column_record.size());
    const int ne = static_cast<int>(red.row_columns.size());
    const int nf = static_cast<int>(red.folded_record.size());
    const int ncols = nx + ne + nf, nrows = ne + 1;
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
        rows.push_back(ne);
        elements.push_back(red.row_weight[r]);
        starts.push_back(static_cast<CoinBigIndex>(rows.size()));
    }
    for (int f = 0; f < nf; ++f) {
        rows.push_back(ne);
        elements.push_back(red.folded_weight[f]);
        starts.push_back(static_cast<CoinBigIndex>(rows.size()));
        objective[nx + ne + f] = -red.folded_cost[f];
        upper[nx + ne + f] = 1.0;
    }
    std::vector<double> row_lower(static_cast<std::size_t>(nrows), 1.0), row_upper(static_cast<std::size_t>(nrows), COIN_DBL_MAX);
    row_lower[ne] = -COIN_DBL_MAX;
    row_upper[ne] = static_cast<double>(red.budget);

    ClpSimplex model;
    model.setLogLevel(0);
    model.loadProblem(ncols, nrows, starts.data(), rows.data(), elements.data(), lower.data(), upper.data(),
                      objective.data(), row_lower.data(), row_upper.data());
    ClpSolve options;
    options.setSolveType(ClpSolve::usePrimal);
    options.setPresolveType(ClpSolve::presolveOn);
    model.initialSolve(options);
    if (model.status() != 0) {
        static const char* const names[] = {"optimal", "infeasible", "unbounded", "stopped on iterations or time",
                                            "stopped by errors"};
        const int status = model.status();
        return std::string("clp found no optimal solution: ") +
               (status >= 0 && status <= 4 ? names[status] : "status " + std::to_string(status));
    }
    const double* x = model.primalColumnSolution();
    solution.x.assign(x, x + nx);
    solution.e.assign(x + nx, x + nx + ne);
    solution.folded_e.assign(x + nx + ne, x + ncols);
    solution.objective = model.objectiveValue();
    return "";
}

void write_listing(const std::string& path, const protdom&, const inter_table& pint, const inter_table& dint,
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
        std::snprintf(line, sizeof line, "%7lld x%d_%d %.12g 0\n", column++, record.a, record.b, x[r]);
        out << line;
    }
    for (std::size_t row = 0; row < full.row_pair.size(); ++row) {
        std::snprintf(line, sizeof line, "%7lld e%d %.12g 0\n", column++, full.row_pair[row], e[row]);
        out << line;
    }
    (void)pint;
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
    double objective = 0;
    for (int r = 0; r < dint.n; ++r) {
        objective += full.cost[r] * x[r];
        if (dint.list[r].active != 1) continue;
        if (sums != nullptr) sums->x_sum += x[r];
        dint.list[r].value = std::min(1.0, x[r]);
    }
    try {
        write_listing(files.out, network, pint, dint, full, x, e, objective);
    } catch (const Error& error) {
        err << error.what() << "\n";
        return 1;
    }
    return 0;
}

std::vector<std::vector<int>> identical_columns(const protdom& network, const inter_table& pint,
                                                const inter_table& dint) {
    const Programme full = build_programme(network, pint, dint, 0.0f, {});
    std::vector<std::vector<int>> rows_of(static_cast<std::size_t>(dint.n));
    for (std::size_t r = 0; r < full.row_terms.size(); ++r) {
        for (int c : full.row_terms[r]) rows_of[c].push_back(static_cast<int>(r));
    }
    // Grouped by a hash of the row lists, equal lists checked in full.
    std::vector<std::pair<std::uint64_t, int>> keyed;
    for (int c = 0; c < dint.n; ++c) {
        if (rows_of[c].empty()) continue;
        std::uint64_t h = 1469598103934665603ULL;
        for (int r : rows_of[c]) h = (h ^ static_cast<std::uint64_t>(r)) * 1099511628211ULL;
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
                if (!placed[b - i] && rows_of[keyed[b].second] == rows_of[keyed[a].second]) {
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
