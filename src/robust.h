// ddinfer-robust: the programme almost never has a single optimum, and the
// classic result is one arbitrary vertex of the optimal face. This command
// samples that face: each of K runs changes every x's objective coefficient
// from 1 to 1 + d * u, u uniform in [0, 1) from a generator seeded from the
// seed and the run, with d small enough that the run's optimum is still an
// optimum of the original programme (checked: the sum of x must equal the
// classic optimum z*; d is halved and the run solved again otherwise).
// Each pair is then ranked by the share of runs that infer it.
#pragma once

#include <iosfwd>

#include "lp_out.h"
#include "network.h"
#include "permut.h"
#include "process.h"

namespace ddinfer {

// 1 + d * u for every candidate record in record order, u = draw / 2^31.
Costs perturbed_costs(const inter_table& dint, double d, RandomSource& random);

// Exit statuses: 0 done, 1 bad input or a failed run (no result file), 2 a
// mistake in the call.
int robust_main(int argc, char** argv, CommandRunner& runner, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace ddinfer
