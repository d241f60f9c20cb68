// The pieces of the report's page: text made safe for HTML, numbers, and
// the charts as inline SVG (no library to ship, no network to reach).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "evidence/evaluate.h"

namespace ddinfer {

std::string escaped(const std::string& text);
std::string number(double value, const char* format = "%g");

// A bar chart of the values in `bins` bins from low to high.
std::string histogram(const std::string& id, const std::string& title, const std::vector<double>& values, double low,
                      double high, int bins, const std::string& x_label);

// Precision and recall down a ranking, all pairs and heterotypic ones.
struct Curves {
    std::vector<std::pair<double, double>> points[2];  // (rank, precision), (rank, recall) for all pairs
    std::vector<std::pair<double, double>> hetero[2];
    std::string cutoffs;  // a table of precision at fixed ranks
};
// By ranked pair: whether the gold list holds it, whether it is heterotypic.
Curves curves(const std::vector<char>& in_gold, const std::vector<char>& hetero, std::size_t relevant_all,
              std::size_t relevant_hetero);

// Precision (which = 0) or recall (1) against the rank on a log scale;
// `base` (all pairs, heterotypic), when given, the base rates as dashed
// lines: the precision of a ranking by chance.
std::string line_chart(const std::string& id, const std::string& title, const Curves& c, int which, double x_max,
                       std::pair<double, double> base = {-1, -1});

}  // namespace ddinfer
