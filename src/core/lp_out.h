// The linear programme: minimise the sum of x(i,j) over the available
// candidate domain pairs, subject to one row per active protein pair whose
// proteins both carry domains (its domain pairs plus its e(k) at least 1)
// and a budget row (the sum of every active e(k) at most the number of such
// rows times the error ratio, truncated toward zero).
//
// Written in the CPLEX LP format for glpsol, and in free MPS for clp. In
// both, every x of the objective comes before any e, so a solver that
// numbers columns by first occurrence lists the x columns first.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/network.h"

namespace ddinfer {

// Objective coefficients by dint record number; empty means 1 for every x.
using Costs = std::vector<double>;

// The budget: rows x ratio in double precision, truncated toward zero, held
// in 64 bits and clamped rather than wrapped.
std::int64_t error_bound(std::int64_t rows, float err_ratio);

// Calls row(k, terms) for every protein pair k that gets a row, in record
// order, with its distinct domain pairs (smaller index first) in the order
// the row lists them; returns the number of rows.
std::int64_t for_each_row(const protdom& network, const inter_table& pint,
                          const std::function<void(int, const std::vector<std::pair<int, int>>&)>& row);

// Writes the programme to `path` ("-" is standard output). Returns 1 when the
// file cannot be opened or a write or close fails, else 0.
int LP_out(const protdom& network, const inter_table& pint, const inter_table& dint, const std::string& path,
           float err_ratio, const Costs& costs = {});

// The programme restricted to the face of an optimal solution, for
// glpsol: minimise sum costs x over the available candidates; every row
// whose marginal in `row_marginals` (rows in order, the budget row last)
// exceeds 1e-6 in size is an equality, and every column whose marginal in
// `column_marginals` (by name, "x(i,j)" or "e(k)") exceeds 1e-6 is fixed
// at 0. Same result convention as LP_out.
int face_LP_out(const protdom& network, const inter_table& pint, const inter_table& dint, const std::string& path,
                float err_ratio, const Costs& costs, const std::vector<double>& row_marginals,
                const std::unordered_map<std::string, double>& column_marginals);

// The same programme in free MPS ("NAME ddinfer FREE"), with plain names:
// x<i>_<j>, e<k>, r<n>, obj. Same result convention as LP_out.
int MPS_out(const protdom& network, const inter_table& pint, const inter_table& dint, const std::string& path,
            float err_ratio, const Costs& costs = {});

}  // namespace ddinfer
