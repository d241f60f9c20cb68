#include "solve/presolve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <span>
#include <unordered_map>

namespace ddinfer {
namespace {

using Items = std::span<const int>;

std::uint64_t hash_of(Items items) {
    std::uint64_t h = 1469598103934665603ULL ^ items.size();
    for (int v : items) {
        h ^= static_cast<std::uint64_t>(v) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        h *= 1099511628211ULL;
    }
    return h;
}

bool equal(Items x, Items y) { return std::equal(x.begin(), x.end(), y.begin(), y.end()); }

// Groups the alive items by equal lists; calls merge(first, other) for
// every later item of a group, the first being the one of lowest index.
// Returns whether any merge happened. Items are sorted by a hash of their
// list (a flat sort: a hash table of buckets costs an allocation a list on
// a proteome's million rows) and equal hashes compared in full.
template <class Alive, class List, class Merge>
bool merge_equal(std::size_t count, Alive alive, List list, Merge merge) {
    std::vector<std::pair<std::uint64_t, int>> keyed;
    keyed.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (alive(i)) keyed.emplace_back(hash_of(list(i)), static_cast<int>(i));
    }
    std::sort(keyed.begin(), keyed.end());
    bool merged = false;
    std::vector<int> firsts;  // of one hash: the first item of each list
    for (std::size_t a = 0, b = 0; a < keyed.size(); a = b) {
        for (b = a + 1; b < keyed.size() && keyed[b].first == keyed[a].first;) ++b;
        if (b == a + 1) continue;  // a hash of its own: no other list to be equal to
        firsts.clear();
        for (std::size_t k = a; k < b; ++k) {
            const int item = keyed[k].second;
            const auto same = std::find_if(firsts.begin(), firsts.end(), [&](int first) {
                return equal(list(static_cast<std::size_t>(first)), list(static_cast<std::size_t>(item)));
            });
            if (same == firsts.end()) {
                firsts.push_back(item);
            } else {
                merge(*same, item);
                merged = true;
            }
        }
    }
    return merged;
}

bool subset(Items small, Items large) { return std::includes(large.begin(), large.end(), small.begin(), small.end()); }

}  // namespace

Programme build_programme(const protdom& network, const inter_table& pint, const inter_table& dint, float err_ratio,
                          const Costs& costs) {
    Programme p;
    if (costs.empty()) {
        p.counted.assign(static_cast<std::size_t>(dint.n), 0);
        for (int r = 0; r < dint.n; ++r) p.counted[r] = dint.list[r].active == 1;
    } else {
        p.cost.assign(static_cast<std::size_t>(dint.n), 0.0);
        for (int r = 0; r < dint.n; ++r) {
            if (dint.list[r].active == 1) p.cost[r] = costs[r];
        }
    }
    std::vector<int> records;
    const std::int64_t rows = for_each_row(network, pint, [&](int k, const std::vector<std::pair<int, int>>& terms) {
        records.clear();
        for (const auto& [a, b] : terms) {
            const int r = dint.index.get(a, b);
            if (r >= 0) records.push_back(r);
        }
        std::sort(records.begin(), records.end());
        records.erase(std::unique(records.begin(), records.end()), records.end());
        p.add_row(k, records);
    });
    p.budget = error_bound(rows, err_ratio);
    return p;
}

Reduced presolve(const Programme& full) {
    const std::size_t nrows = full.rows(), ncols = full.columns();
    // Each row's columns and each column's rows, flat: a list apiece costs
    // an allocation a row on a proteome's million rows. A row's list
    // shrinks in place as its columns go; the columns' lists are rebuilt.
    const std::vector<std::size_t>& row_start = full.row_start;
    std::vector<int> row_items = full.terms, row_length(nrows);
    for (std::size_t r = 0; r < nrows; ++r) row_length[r] = static_cast<int>(full.row(r).size());
    auto row_cols = [&](std::size_t r) { return Items(row_items.data() + row_start[r], row_length[r]); };
    std::vector<double> weight(nrows, 1.0);
    std::vector<int> row_parent(nrows);  // a merged row points to the row it joined
    std::iota(row_parent.begin(), row_parent.end(), 0);
    std::vector<char> row_alive(nrows, 1), col_alive(ncols, 0);
    for (int c : row_items) col_alive[c] = 1;
    std::vector<int> joined_to(ncols);  // an identical column points to the one kept for it
    std::iota(joined_to.begin(), joined_to.end(), 0);
    std::vector<char> joined(ncols, 0);
    auto kept_for = [&](int c) {
        while (joined_to[c] != c) c = joined_to[c];
        return c;
    };
    std::vector<std::size_t> col_start(ncols + 1);
    std::vector<int> col_items;
    auto col_rows = [&](std::size_t c) {
        return Items(col_items.data() + col_start[c], col_items.data() + col_start[c + 1]);
    };

    auto rebuild_columns = [&] {
        for (std::size_t r = 0; r < nrows; ++r) {
            if (!row_alive[r]) continue;
            int* const begin = row_items.data() + row_start[r];
            row_length[r] = static_cast<int>(
                std::remove_if(begin, begin + row_length[r], [&](int c) { return !col_alive[c]; }) - begin);
        }
        transpose(
            nrows, [&](std::size_t r) { return row_alive[r] ? row_cols(r) : Items(); }, ncols, col_start, col_items);
    };

    for (bool changed = true; changed;) {
        changed = false;
        rebuild_columns();
        // Rows with the same columns.
        changed |= merge_equal(
            nrows, [&](std::size_t r) { return row_alive[r] != 0; }, row_cols,
            [&](int first, int other) {
                weight[first] += weight[other];
                row_alive[other] = 0;
                row_parent[other] = first;
            });
        if (changed) rebuild_columns();
        // Columns with the same rows: the cheapest stays.
        std::vector<std::pair<int, int>> joins;
        const bool identical = merge_equal(
            ncols, [&](std::size_t c) { return col_alive[c] != 0; }, col_rows,
            [&](int first, int other) { joins.emplace_back(first, other); });
        for (auto [first, other] : joins) {
            // `first` may itself have been joined to a cheaper one already.
            int keep = kept_for(first), drop = other;
            if (full.cost_of(drop) < full.cost_of(keep)) std::swap(keep, drop);
            col_alive[drop] = 0;
            joined_to[drop] = keep;
            joined[drop] = joined[keep] = 1;
        }
        changed |= identical;
        if (identical) rebuild_columns();
        // Columns whose rows another column covers at no more cost.
        for (std::size_t j = 0; j < ncols; ++j) {
            if (!col_alive[j] || col_rows(j).empty()) continue;
            int shortest = col_rows(j).front();
            for (int r : col_rows(j)) {
                if (row_length[r] < row_length[shortest]) shortest = r;
            }
            for (int i : row_cols(static_cast<std::size_t>(shortest))) {
                if (i == static_cast<int>(j) || !col_alive[i] || col_rows(i).size() <= col_rows(j).size() ||
                    full.cost_of(i) > full.cost_of(j) || !subset(col_rows(j), col_rows(i))) {
                    continue;
                }
                col_alive[j] = 0;
                changed = true;
                break;
            }
        }
    }
    rebuild_columns();

    Reduced red;
    red.budget = full.budget;
    std::vector<int> column_index(ncols, -1), row_index(nrows, -1);
    // Fold rows whose one column is in no other row.
    std::vector<int> folded_of(nrows, -1);
    for (std::size_t r = 0; r < nrows; ++r) {
        if (!row_alive[r] || row_length[r] != 1) continue;
        const int c = row_cols(r)[0];
        if (col_rows(static_cast<std::size_t>(c)).size() != 1) continue;
        folded_of[r] = static_cast<int>(red.folded_record.size());
        red.folded_record.push_back(c);
        red.folded_cost.push_back(full.cost_of(c));
        red.folded_weight.push_back(weight[r]);
        red.offset += full.cost_of(c);
        col_alive[c] = 0;
    }
    for (std::size_t c = 0; c < ncols; ++c) {
        if (!col_alive[c]) continue;
        column_index[c] = static_cast<int>(red.column_record.size());
        red.column_record.push_back(static_cast<int>(c));
        red.column_cost.push_back(full.cost_of(c));
    }
    for (std::size_t r = 0; r < nrows; ++r) {
        if (!row_alive[r] || folded_of[r] >= 0) continue;
        row_index[r] = static_cast<int>(red.rows());
        for (int c : row_cols(r)) red.row_items.push_back(column_index[c]);
        red.row_start.push_back(red.row_items.size());
        red.row_weight.push_back(weight[r]);
    }
    red.row_place.resize(nrows);
    for (std::size_t r = 0; r < nrows; ++r) {
        std::size_t root = r;
        while (row_parent[root] != static_cast<int>(root)) root = static_cast<std::size_t>(row_parent[root]);
        red.row_place[r] = folded_of[root] >= 0 ? -1 - folded_of[root] : row_index[root];
    }
    // The sets of identical columns, flat: numbered by their lowest record,
    // counted, then filled with the kept one first and the others in order.
    // (A null model on a proteome has half a million such sets.)
    std::vector<int> set_of(ncols, -1);  // by kept column
    std::vector<std::size_t>& start = red.class_start;
    for (std::size_t c = 0; c < ncols; ++c) {
        if (!joined[c]) continue;
        int& set = set_of[static_cast<std::size_t>(kept_for(static_cast<int>(c)))];
        if (set < 0) {
            set = static_cast<int>(start.size() - 1);
            start.push_back(0);
        }
        ++start[static_cast<std::size_t>(set) + 1];
    }
    for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    red.class_items.resize(start.back());
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    for (std::size_t c = 0; c < ncols; ++c) {
        if (!joined[c] || kept_for(static_cast<int>(c)) != static_cast<int>(c)) continue;
        red.class_items[next[static_cast<std::size_t>(set_of[c])]++] = static_cast<int>(c);
    }
    for (std::size_t c = 0; c < ncols; ++c) {
        const int root = joined[c] ? kept_for(static_cast<int>(c)) : static_cast<int>(c);
        if (root == static_cast<int>(c)) continue;
        red.class_items[next[static_cast<std::size_t>(set_of[static_cast<std::size_t>(root)])]++] = static_cast<int>(c);
    }
    return red;
}

FoldedGroups group_folded(const Reduced& red) {
    FoldedGroups g;
    std::unordered_map<std::uint64_t, std::unordered_map<std::uint64_t, int>> index;  // by cost, by weight bits
    auto bits = [](double v) {
        std::uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    for (std::size_t f = 0; f < red.folded_record.size(); ++f) {
        const auto [it, added] =
            index[bits(red.folded_cost[f])].try_emplace(bits(red.folded_weight[f]), static_cast<int>(g.size.size()));
        if (added) {
            g.cost.push_back(red.folded_cost[f]);
            g.weight.push_back(red.folded_weight[f]);
            g.size.push_back(0);
        }
        ++g.size[static_cast<std::size_t>(it->second)];
        g.group_of.push_back(it->second);
    }
    return g;
}

std::vector<double> split_folded(const FoldedGroups& groups, const std::vector<double>& value) {
    std::vector<double> left = value, e(groups.group_of.size());
    for (std::size_t f = 0; f < e.size(); ++f) {
        double& rest = left[static_cast<std::size_t>(groups.group_of[f])];
        e[f] = std::clamp(rest, 0.0, 1.0);
        rest -= e[f];
    }
    return e;
}

std::string map_back(const Programme& full, const Reduced& red, const ReducedSolution& s, std::size_t records,
                     std::vector<double>& x, std::vector<double>& e) {
    // Values a hair outside their bounds (within the simplex's tolerance)
    // are moved onto them; what that moves in the objective is followed, so
    // that hundreds of such hairs do not read as a different optimum.
    x.assign(records, 0.0);
    double moved = 0;
    for (std::size_t c = 0; c < red.column_record.size(); ++c) {
        x[red.column_record[c]] = std::max(0.0, s.x[c]);
        moved += red.column_cost[c] * (x[red.column_record[c]] - s.x[c]);
    }
    for (std::size_t f = 0; f < red.folded_record.size(); ++f) {
        x[red.folded_record[f]] = std::max(0.0, 1.0 - s.folded_e[f]);
        moved += red.folded_cost[f] * (x[red.folded_record[f]] - (1.0 - s.folded_e[f]));
    }
    const std::size_t nrows = full.rows();
    e.assign(nrows, 0.0);
    for (std::size_t r = 0; r < nrows; ++r) {
        const int place = red.row_place[r];
        e[r] = std::max(0.0, place >= 0 ? s.e[place] : s.folded_e[-1 - place]);
    }
    constexpr double tolerance = simplex_tolerance;
    double used = 0;
    for (std::size_t r = 0; r < nrows; ++r) {
        double covered = e[r];
        for (int c : full.row(r)) covered += x[c];
        if (covered < 1.0 - tolerance) {
            char text[160];
            std::snprintf(text, sizeof text, "row %zu (protein pair %d) is covered to %.10g only", r + 2,
                          full.row_pair[r], covered);
            return text;
        }
        used += e[r];
    }
    if (used > static_cast<double>(full.budget) + tolerance * std::max(1.0, static_cast<double>(full.budget))) {
        return "the unexplained pairs exceed the budget: " + std::to_string(used) + " > " +
               std::to_string(full.budget);
    }
    double objective = 0;
    for (std::size_t c = 0; c < records; ++c) objective += full.cost_of(c) * x[c];
    const double expected = s.full_objective ? *s.full_objective : s.objective + red.offset + moved;
    // The reduced optimum is the offset less the folded rows' share: its
    // rounding grows with the offset, not only with the optimum.
    const double scale = std::max({1.0, std::fabs(expected), std::fabs(red.offset)});
    if (std::fabs(objective - expected) > tolerance * scale) {
        char text[160];
        std::snprintf(text, sizeof text, "the objective %.10g differs from the reduced optimum %.10g", objective,
                      expected);
        return text;
    }
    return "";
}

}  // namespace ddinfer
