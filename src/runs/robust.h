// ddinfer-robust: the programme almost never has a single optimum, and the
// classic result is one arbitrary vertex of the optimal face. This command
// samples that face: it solves the classic programme once, fixes what every
// optimal solution shares (columns of positive reduced cost at their bound,
// rows of non-zero dual tight), then each of K runs minimises sum u x over
// that face, u uniform in [0, 1) by candidate from a generator seeded from
// the seed and the run, and is checked as an optimum of the classic
// programme. With clp this happens in memory on the presolved programme;
// with glpsol the duals come from the report's Marginal columns and each
// run solves the face written as an LP file. Each pair is then ranked by
// the share of runs that infer it.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/lp_out.h"
#include "core/network.h"
#include "core/permut.h"
#include "solve/process.h"

namespace ddinfer {

// 1 + d * u for every candidate record in record order, u = draw / 2^31.
// The runs take d = 1 and subtract the 1.
Costs perturbed_costs(const inter_table& dint, double d, RandomSource& random);

// Exit statuses: 0 done, 1 bad input or a failed run (no result file), 2 a
// mistake in the call.
int robust_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err, bool terminal);

// A candidate in the robust table: inferred in the classic solution or in
// `count` runs.
struct RobustRow {
    long record;
    std::string a, b;
    double classic;
    long count;
};

// The whole table from rows in record order: by count, then classic value,
// highest first, freq = count / runs.
std::string robust_table(const std::string& provenance, std::vector<RobustRow> rows, int runs);

}  // namespace ddinfer
