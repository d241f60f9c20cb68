// Readers of the solvers' solution reports. Each checks that the solver
// found an optimal solution, then stores the value of every x(i,j) column,
// clamped to [0, 1], into the available dint record of that domain pair.
// Messages go to `err`; the result is 0, or 1 on a failure.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/network.h"

namespace ddinfer {

// Optional figures a caller may want from a report besides the values.
struct ReportSums {
    double x_sum = 0.0;  // sum of the x activities read, before clamping
};

// glpsol's printed report (glpsol -o). Line 5 must begin with
// "Status:     OPTIMAL"; the columns table follows the heading
// "   No. Column name" and is read up to the first e(k) column; the report
// is whole only when the "Karush-Kuhn-Tucker" section or "End of output"
// follows the table (a report cut short is a failure).
int my_parse_glp(const std::string& path, const protdom& network, const inter_table& pint, inter_table& dint,
                 std::ostream& err, ReportSums* sums = nullptr);

// The same over an open stream, read `chunk` bytes at a time; `path` names
// the report in messages.
int read_glp_report(std::istream& in, const std::string& path, inter_table& dint, std::ostream& err, ReportSums* sums,
                    std::size_t chunk);

// The Marginal column of a glpsol report: row marginals in the order of the
// rows table, and column marginals by column name (0 for basic columns
// and for "< eps"). Throws Error when the report cannot be read or is cut.
struct Marginals {
    std::vector<double> rows;
    std::unordered_map<std::string, double> columns;
};
Marginals read_glp_marginals(const std::string& path);

}  // namespace ddinfer
