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


// The ratio of a run, from the call lines of its tables ("0.1"), or "".
std::string ratio_in(const std::vector<std::string>& provenances);

// The page's title: `given`, or the name of the folder that holds PAIRS
// (a study's data set), with the ratio where the tables tell it.
std::string report_title(const std::string& given, const std::string& pairs_path,
                         const std::vector<std::string>& provenances);

// For a pooled table's call line, one summary line per network: its
// inputs and candidates, read from its own table where that can be opened,
// and with a gold list its own average precision.
// `calls` gets each network table's own call line (without "# ").
std::vector<std::string> pooled_networks(const std::string& provenance, const NamePairs* gold,
                                         const std::string& gold_name, std::vector<std::string>& calls);

}  // namespace ddinfer
