// ddinfer-null: how often each inferred domain pair would be inferred as
// strongly from a randomised network. The real network is solved as ddinfer
// solves it; then each of N runs shuffles a fresh copy with a generator of
// its own (seeded from the seed and the run number), rebuilds the
// candidates and solves again. For every pair inferred from the real
// network, hits counts the runs whose value reaches the observed one;
// p = (hits + 1) / (N + 1), and q is the Benjamini-Hochberg adjusted p.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "solve/process.h"

namespace ddinfer {

// Benjamini-Hochberg: q_i = min over p_j >= p_i of p_j * m / rank_j, at most 1.
std::vector<double> bh_adjust(const std::vector<double>& p);

// The command; `terminal` tells whether standard error is one (progress in
// place). Exit statuses: 0 done, 1 bad input or a failed run (no result
// file), 2 a mistake in the call.
int null_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err, bool terminal);

// A tested pair: its observed value and the runs whose value reached it.
struct NullRow {
    long record;
    std::string a, b;
    double value;
    long hits;
};

// The whole table from the tested pairs in record order: p = (hits + 1) /
// (runs + 1), q by Benjamini-Hochberg, by p.
std::string null_table(const std::string& provenance, const std::vector<NullRow>& rows, int runs);

}  // namespace ddinfer
