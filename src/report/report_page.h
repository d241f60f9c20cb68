// The parts of the report's page that do not depend on one run: its style
// and script, the reading of a table's columns, and the wording of counts.
#pragma once

#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

#include "evidence/evaluate.h"

namespace ddinfer {

// A table read row by row: some columns as numbers, the first rows whole
// (a proteome's rank table is too large to hold as text).
struct ReadTable {
    TableHead head;
    std::vector<std::vector<double>> numbers;  // by column asked for, by row
    std::vector<std::vector<std::string>> top;  // the first rows
};

// The columns of a table of these candidates, their numbers read whole; a
// table of an earlier version without its end line gets a warning on
// `info`. Columns from `required` on may be missing: their numbers stay
// empty. `each` sees every row.
ReadTable read_columns(std::ostream& info, const std::string& path, const NamePairs& candidates,
                       const std::vector<std::string>& columns, std::size_t keep,
                       const std::function<void(const std::vector<std::string>&)>& each = {},
                       std::size_t required = static_cast<std::size_t>(-1));

extern const char* const page_style;
extern const char* const page_script;

// "12,345"
std::string thousands(long value);

// "35 at or above 0.5, 120 at or above 0.2, ..." of `values`; with
// `equal_first` the first cut counts equal values only.
std::string counts_at(const std::vector<double>& values, std::initializer_list<double> cuts, bool equal_first);

}  // namespace ddinfer
