#include "solve/clp_inprocess.h"

#include <ClpSimplex.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <ostream>

#include "core/atomic_file.h"
#include "core/error.h"
#include "core/lp_out.h"
#include "core/text_out.h"
#include "solve/clp_model.h"
#include "solve/presolve.h"

namespace ddinfer {
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
                   float err_ratio, const Costs& costs, bool write_mps, std::ostream& err, ReportSums* sums,
                   Start start, WantedValues* only_values) {
    if (write_mps) {
        errno = 0;
        if (MPS_out(network, pint, dint, files.mps, err_ratio, costs) != 0) {
            err << files.mps << ": cannot write: " << std::strerror(errno != 0 ? errno : EIO) << "\n";
            return 1;
        }
    }
    const Programme full = build_programme(network, pint, dint, err_ratio, costs);
    const int n = dint.n;
    // Which records take a value; held apart when the table goes.
    std::vector<char> active;
    const bool released = only_values != nullptr && files.out.empty();
    if (only_values != nullptr) dint.index = PairIndex();
    if (released) {
        active.resize(static_cast<std::size_t>(n));
        for (int r = 0; r < n; ++r) active[r] = dint.list[r].active == 1;
        dint = inter_table();
    }
    auto is_active = [&](int r) { return released ? active[r] != 0 : dint.list[r].active == 1; };
    const Reduced reduced = presolve(full);
    ReducedSolution solution;
    {
        ClpSimplex model;  // gone once solved
        // The folded rows grouped: on the networks of a proteome the simplex
        // then sees a few columns where it saw hundreds of thousands.
        if (const std::string failure = solve_grouped(model, reduced, solution, start); !failure.empty()) {
            err << failure << "\n";
            return 1;
        }
    }
    std::vector<double> x, e;
    if (const std::string failure = map_back(full, reduced, solution, static_cast<std::size_t>(n), x, e);
        !failure.empty()) {
        err << "the solution of the reduced programme fails the full one: " << failure << "\n";
        return 1;
    }
    auto value_of = [&](int r) { return std::min(1.0, settled(x[r])); };
    double objective = 0, x_sum = 0;
    for (int r = 0; r < n; ++r) {
        objective += full.cost_of(static_cast<std::size_t>(r)) * x[r];
        if (!is_active(r)) continue;
        if (!released) dint.list[r].value = value_of(r);
        x_sum += settled(x[r]);
    }
    if (only_values != nullptr) {  // what the table holds (0 for one taking no value), kept or not
        only_values->values.clear();
        for (int r : only_values->records) only_values->values.push_back(r >= 0 && is_active(r) ? value_of(r) : 0.0);
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
    // Each candidate's rows, turned round from the programme's rows (flat:
    // a vector per candidate costs more than its contents on a proteome).
    const auto n = static_cast<std::size_t>(dint.n);
    std::vector<std::size_t> col_start;
    std::vector<int> col_items;
    {
        const Programme programme = build_programme(network, pint, dint, 0.0f, {});
        transpose(programme.rows(), [&](std::size_t r) { return programme.row(r); }, n, col_start, col_items);
    }
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
