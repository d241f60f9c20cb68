#include "core/lp_out.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <utility>

#include "core/text_out.h"

namespace ddinfer {
namespace {

using Pair = std::pair<int, int>;

// Drops from `terms` every pair met before in it, keeping first places.
// Short rows are checked pair by pair; longer ones through a sort, so the
// cost never grows with the square of the row.
void keep_first(std::vector<Pair>& terms, std::vector<std::pair<Pair, std::size_t>>& scratch) {
    constexpr std::size_t short_row = 16;
    if (terms.size() <= short_row) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < terms.size(); ++i) {
            if (std::find(terms.begin(), terms.begin() + kept, terms[i]) == terms.begin() + kept)
                terms[kept++] = terms[i];
        }
        terms.resize(kept);
        return;
    }
    scratch.clear();
    for (std::size_t i = 0; i < terms.size(); ++i) scratch.emplace_back(terms[i], i);
    std::sort(scratch.begin(), scratch.end());  // by pair, then first place
    std::vector<char> first(terms.size(), 0);
    for (std::size_t i = 0; i < scratch.size(); ++i) {
        if (i == 0 || scratch[i].first != scratch[i - 1].first) first[scratch[i].second] = 1;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        if (first[i]) terms[kept++] = terms[i];
    }
    terms.resize(kept);
}

// Calls row(k, terms) for every protein pair k that gets a row, in record
// order; terms are the distinct unordered domain pairs (smaller index first)
// joining a domain of one protein with a domain of the other, each at the
// place where it is first met. Returns the number of rows.
template <class Row>
std::int64_t visit_rows(const protdom& network, const inter_table& pint, Row row) {
    std::vector<Pair> terms;
    std::vector<std::pair<Pair, std::size_t>> scratch;
    std::int64_t rows = 0;
    for (int k = 0; k < pint.n; ++k) {
        const inter& record = pint.list[k];
        if (record.active != 1) continue;
        const node& pa = network.prot[record.a];
        const node& pb = network.prot[record.b];
        if (pa.n <= 0 || pb.n <= 0) continue;
        terms.clear();
        for (int u = 0; u < pa.n; ++u) {
            for (int w = 0; w < pb.n; ++w) {
                terms.emplace_back(std::min(pa.links[u], pb.links[w]), std::max(pa.links[u], pb.links[w]));
            }
        }
        keep_first(terms, scratch);
        row(k, terms);
        ++rows;
    }
    return rows;
}

// Shortest text that reads back as the same double.
std::string exact(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, static_cast<std::size_t>(result.ptr - text));
}

std::FILE* open_output(const std::string& path) { return path == "-" ? stdout : std::fopen(path.c_str(), "w"); }

int close_output(std::FILE* file, TextOut& out) {
    const bool written = out.flush();
    const int closed = file == stdout ? std::fflush(file) : std::fclose(file);
    return written && closed == 0 ? 0 : 1;
}

}  // namespace

std::int64_t for_each_row(const protdom& network, const inter_table& pint,
                          const std::function<void(int, const std::vector<std::pair<int, int>>&)>& row) {
    return visit_rows(network, pint, row);
}

std::int64_t error_bound(std::int64_t rows, float err_ratio) {
    const double product = static_cast<double>(rows) * static_cast<double>(err_ratio);
    if (std::isnan(product)) return 0;
    constexpr double limit = 9.2e18;  // inside the 64-bit range
    if (product >= limit) return std::numeric_limits<std::int64_t>::max();
    if (product <= -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(product);  // truncates toward zero
}

namespace {

// The optimal face of a solution: marginals of the rows in order (the
// budget row last) and of the columns by name.
struct Face {
    const std::vector<double>& rows;
    const std::unordered_map<std::string, double>& columns;
};

int write_lp(const protdom& network, const inter_table& pint, const inter_table& dint, const std::string& path,
             float err_ratio, const Costs& costs, const Face* face) {
    constexpr double tolerance = 1e-6;
    auto fixed_at_zero = [&](const std::string& name) {
        if (face == nullptr) return false;
        const auto it = face->columns.find(name);
        return it != face->columns.end() && it->second > tolerance;
    };
    auto tight = [&](std::size_t row) {
        return face != nullptr && row < face->rows.size() && std::fabs(face->rows[row]) > tolerance;
    };
    std::FILE* file = open_output(path);
    if (file == nullptr) return 1;
    TextOut out(file);

    // A line break follows every eighth counted term of a section.
    int count = 0;
    auto counted = [&] {
        if (++count == 8) {
            out << '\n';
            count = 0;
        }
    };

    std::vector<std::string> fixed;
    out << "\nMinimize\nobj:";
    for (int r = 0; r < dint.n; ++r) {
        const inter& record = dint.list[r];
        if (record.active != 1) continue;
        out << " + ";
        if (!costs.empty()) out << exact(costs[r]) << ' ';
        out << "x(" << std::min(record.a, record.b) << ',' << std::max(record.a, record.b) << ')';
        counted();
        if (face != nullptr) {
            std::string name = "x(" + std::to_string(std::min(record.a, record.b)) + "," +
                               std::to_string(std::max(record.a, record.b)) + ")";
            if (fixed_at_zero(name)) fixed.push_back(std::move(name));
        }
    }
    out << "\n\nSubject To\n";

    long long next_row = 2;
    std::size_t row = 0;
    const std::int64_t rows = visit_rows(network, pint, [&](int k, const std::vector<Pair>& terms) {
        count = 0;
        out << "r(" << next_row++ << "):";
        for (const Pair& term : terms) {
            out << " + x(" << term.first << ',' << term.second << ')';
            counted();
        }
        out << " +e(" << k << (tight(row++) ? ") = 1.000\n" : ") >= 1.000\n");
    });

    out << "r(" << next_row << "):";
    count = 0;
    for (int k = 0; k < pint.n; ++k) {
        if (pint.list[k].active != 1) continue;
        out << " +e(" << k << ')';
        counted();
        if (face != nullptr && fixed_at_zero("e(" + std::to_string(k) + ")")) fixed.push_back("e(" + std::to_string(k) + ")");
    }
    out << (tight(row) ? "=" : "<=") << static_cast<long long>(error_bound(rows, err_ratio)) << '\n';
    if (face != nullptr) {
        out << "Bounds\n";
        for (const std::string& name : fixed) out << ' ' << name << " = 0\n";
    }
    out << "End\n";
    return close_output(file, out);
}

}  // namespace

int LP_out(const protdom& network, const inter_table& pint, const inter_table& dint, const std::string& path,
           float err_ratio, const Costs& costs) {
    return write_lp(network, pint, dint, path, err_ratio, costs, nullptr);
}

int face_LP_out(const protdom& network, const inter_table& pint, const inter_table& dint, const std::string& path,
                float err_ratio, const Costs& costs, const std::vector<double>& row_marginals,
                const std::unordered_map<std::string, double>& column_marginals) {
    const Face face{row_marginals, column_marginals};
    return write_lp(network, pint, dint, path, err_ratio, costs, &face);
}

int MPS_out(const protdom& network, const inter_table& pint, const inter_table& dint, const std::string& path,
            float err_ratio, const Costs& costs) {
    // Gather the programme by column, columns in order of first occurrence:
    // the objective's x, then the rows' terms and e, then the budget row.
    struct Column {
        int a;  // -1 for e(b)
        int b;
        double cost;
    };
    std::vector<Column> columns;
    std::vector<std::pair<int, long long>> entries;  // (column, row), rows ascending
    std::vector<int> x_column(static_cast<std::size_t>(dint.n), -1);
    std::map<Pair, int> stray_column;
    std::vector<int> e_column(static_cast<std::size_t>(pint.n), -1);
    auto add = [&](int a, int b, double cost) {
        columns.push_back(Column{a, b, cost});
        return static_cast<int>(columns.size()) - 1;
    };
    auto e_of = [&](int k) {
        if (e_column[k] < 0) e_column[k] = add(-1, k, 0.0);
        return e_column[k];
    };

    for (int r = 0; r < dint.n; ++r) {
        const inter& record = dint.list[r];
        if (record.active != 1) continue;
        x_column[r] = add(std::min(record.a, record.b), std::max(record.a, record.b), costs.empty() ? 1.0 : costs[r]);
    }
    long long next_row = 2;
    const std::int64_t nrows = visit_rows(network, pint, [&](int k, const std::vector<Pair>& terms) {
        for (const Pair& term : terms) {
            const int r = dint.index.get(term.first, term.second);
            int c = -1;
            if (r >= 0) {
                if (x_column[r] < 0) x_column[r] = add(term.first, term.second, 0.0);
                c = x_column[r];
            } else {
                auto [it, added] = stray_column.try_emplace(term, 0);
                if (added) it->second = add(term.first, term.second, 0.0);
                c = it->second;
            }
            entries.emplace_back(c, next_row);
        }
        entries.emplace_back(e_of(k), next_row);
        ++next_row;
    });
    const long long budget_row = next_row;
    for (int k = 0; k < pint.n; ++k) {
        if (pint.list[k].active == 1) entries.emplace_back(e_of(k), budget_row);
    }
    // Group the entries by column, keeping each column's rows in order.
    std::vector<std::size_t> first(columns.size() + 1, 0);
    for (const auto& entry : entries) ++first[static_cast<std::size_t>(entry.first) + 1];
    for (std::size_t c = 0; c < columns.size(); ++c) first[c + 1] += first[c];
    std::vector<long long> rows(entries.size());
    {
        std::vector<std::size_t> fill(first.begin(), first.end() - 1);
        for (const auto& entry : entries) rows[fill[static_cast<std::size_t>(entry.first)]++] = entry.second;
    }
    entries.clear();
    entries.shrink_to_fit();

    std::FILE* file = open_output(path);
    if (file == nullptr) return 1;
    TextOut out(file);
    out << "NAME ddinfer FREE\nROWS\n N obj\n";
    for (long long row = 2; row < budget_row; ++row) out << " G r" << row << '\n';
    out << " L r" << budget_row << "\nCOLUMNS\n";
    std::string name;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const Column& column = columns[c];
        name.assign(1, ' ');
        if (column.a < 0) {
            name.append(1, 'e').append(std::to_string(column.b));
        } else {
            name.append(1, 'x').append(std::to_string(column.a)).append(1, '_').append(std::to_string(column.b));
        }
        if (column.cost != 0.0) out << name << " obj " << exact(column.cost) << '\n';
        for (std::size_t i = first[c]; i < first[c + 1]; ++i) out << name << " r" << rows[i] << " 1\n";
    }
    out << "RHS\n";
    for (long long row = 2; row < budget_row; ++row) out << " rhs r" << row << " 1\n";
    out << " rhs r" << budget_row << ' ' << static_cast<long long>(error_bound(nrows, err_ratio)) << "\nENDATA\n";
    return close_output(file, out);
}

}  // namespace ddinfer
